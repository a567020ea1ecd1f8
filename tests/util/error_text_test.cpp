// Error and status texts and the lines that log them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/errors.h"
#include "tests/support/test_support.h"
#include "util/error_text.h"

namespace {

TEST(StatusText, KnownCodesAndTheFallback) {
    struct Case {
        unsigned code;
        const char *text;
    } cases[] = {
        {2359302,
         "Patch already Installed and the changes will not be effective until the system is "
         "rebooted."},
        {10001, "kv.db.agent.config.script.powerscript_notfound"},
        {17025, "OfficeUpdateError: Patch already installed."},
        {17048, "OfficeUpdateError : This installation requires Windows Installer 3.1 or greater."},
        {17022, "Unknown Error. Code : 17022"},
        {17035, "Unknown Error. Code : 17035"},
        {99999, "Unknown Error. Code : 99999"},
    };
    for (const Case &c : cases) EXPECT_STREQ(c.text, GetStatusText(c.code)) << c.code;
}

TEST(ErrorLines, EachCodeGivesOneLineAtItsLevel) {
    struct Case {
        int code;
        const char *line;
    } cases[] = {
        {0, "INFO Message : The operation completed successfully.  "},
        {5, "ERROR Error Code : 5 , Error Message : Access is denied.  "},
        {17025,
         "ERROR Error Code : 17025 , Error Message : OfficeUpdateError: Patch already installed. "},
        {17022, "ERROR Error Code : 17022 , Error Message : Unknown Error. Code : 17022 "},
    };
    for (const Case &c : cases) {
        kvtest::CapturedLog log(4);
        LogErrorCode(c.code);
        EXPECT_EQ(std::vector<std::string>{c.line}, log.Lines()) << c.code;
    }
}

TEST(ErrorLines, LogErrorTextTrimsTheSystemText) {
    kvtest::CapturedLog log(4);
    EXPECT_EQ(0, LogErrorText(2));
    EXPECT_EQ(
        std::vector<std::string>{
            "ERROR Error Code : 2 , Error Message : The system cannot find the file specified. "},
        log.Lines());
}

TEST(ErrorLines, LogLastErrorUsesTheSystemTextWithItsLineBreak) {
    kvtest::CapturedLog log(2);
    PlatSetLastError(5);
    LogLastError();
    EXPECT_NE(std::string::npos,
              log.text().find("[ERROR]  Error Message: Access is denied.\r\r\n\r\n"));
}

TEST(ErrorLines, GetErrorMessageReturnsTheTextWhenNoLogIsOpen) {
    char *text = GetErrorMessage(17025);
    ASSERT_NE(nullptr, text);
    EXPECT_STREQ("OfficeUpdateError: Patch already installed.", text);
    free(text);
}

TEST(WideText, ChangeWideStrToUtf8) {
    char *out = nullptr;
    EXPECT_EQ(1, ChangeWideStrToUtf8(u"Grüße \U0001F600", &out));
    EXPECT_STREQ("Grüße \xF0\x9F\x98\x80", out);
    free(out);
    EXPECT_EQ(0, ChangeWideStrToUtf8(nullptr, &out));
    EXPECT_EQ(nullptr, out);
}

}  // namespace
