#include <gtest/gtest.h>

#include "cli/cbs_render.h"

namespace {

// The CMAS presidential alert of sharetechnote.com's "PWS Message Identifier" page, in the UMTS form.
sms::CbsMessage Alert() {
    sms::Bytes pdu;
    sms::ParseError e;
    std::vector<sms::CbsMessage> pages;
    EXPECT_TRUE(sms::ParseHex("01111230000101C576597E2EBBC7F950A8D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D16834"
                              "1A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D1000A",
                              &pdu, &e));
    EXPECT_TRUE(sms::ParseCbsUmts(pdu, &pages, &e)) << e.what;
    return pages.empty() ? sms::CbsMessage() : pages[0];
}

}  // namespace

TEST(CbsRender, JoinedAsJson) {
    sms::CbsMessage m = Alert();
    CbsJoined joined{{1, 3}, 4};
    EXPECT_EQ(RenderJson(CbsFields(m, &joined)),
              "{\"type\": \"CBS\", \"serial_number\": 12288, \"geographical_scope\": \"cell wide, shown at once\", "
              "\"message_code\": 768, \"update_number\": 0, \"message_identifier\": 4370, \"message_identifier_text\": "
              "\"CMAS presidential alert (EU-Alert level 1)\", \"coding\": \"7-bit\", \"language\": \"en\", \"pages\": 4, "
              "\"pages_present\": [1,3], \"missing_pages\": [2,4], \"text\": \"Emergency!!\"}\n");
}
