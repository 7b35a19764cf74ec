// sms-segments-calculator (npm) on texts given as a JSON list on standard
// input: for each, its encoding, its segments and the characters it finds
// outside GSM-7, as a JSON list on standard output.
const path = require('path').resolve(process.argv[2]);
const { SegmentedMessage } = require(path + '/sms-segments-calculator');
const texts = JSON.parse(require('fs').readFileSync(0, 'utf8'));
console.log(JSON.stringify(texts.map((t) => {
  const m = new SegmentedMessage(t);
  return [m.encodingName, m.segmentsCount, m.getNonGsmCharacters()];
})));
