/* libGammu as a peer of `smspdu parse`: SMS PDUs (with their SMSC field) one
 * per line of standard input, each read by libGammu's PDU decoder and its
 * sender, time and text printed, as a C program calling it would. */
#include <gammu.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(void) {
    GSM_Debug_Info* di = GSM_GetGlobalDebug();
    static unsigned char pdu[512];
    static char number[4 * (GSM_MAX_NUMBER_LENGTH + 1)], text[4 * (GSM_MAX_SMS_LENGTH + 1)];
    char* line = NULL;
    size_t room = 0, bad = 0;
    ssize_t length;
    while ((length = getline(&line, &room, stdin)) > 0) {
        while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) --length;
        GSM_SMSMessage sms;
        size_t end = 0;
        if (length / 2 > (ssize_t)sizeof pdu || !DecodeHexBin(pdu, (unsigned char*)line, (size_t)length) ||
            GSM_DecodePDUFrame(di, &sms, pdu, (size_t)length / 2, &end, TRUE) != ERR_NONE) {
            ++bad;
            continue;
        }
        EncodeUTF8(number, sms.Number);
        EncodeUTF8(text, sms.Text);
        printf("from: %s\ntimestamp: %04d-%02d-%02dT%02d:%02d:%02d\ntext: %s\n\n", number, sms.DateTime.Year,
               sms.DateTime.Month, sms.DateTime.Day, sms.DateTime.Hour, sms.DateTime.Minute, sms.DateTime.Second, text);
    }
    free(line);
    if (bad) fprintf(stderr, "%zu PDUs refused\n", bad);
    return fflush(stdout) == 0 ? 0 : 1;
}
