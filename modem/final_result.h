// The line that ends a command's answer (V.250 5.7, 27.007 9.2, 27.005
// 3.2.5): OK, ERROR and the numbered errors, numeric or verbose.
#pragma once
#include <string>

namespace modem {

struct FinalResult {
    enum Kind {
        None,      // not a final result
        Ok,
        Error,     // plain ERROR, or the words some firmware gives in its place
        CmeError,  // +CME ERROR: n
        CmsError,  // +CMS ERROR: n
        Timeout,   // no final result within the command's time limit (the dialogue's own)
        PortFailed // the port failed: the device went away (the dialogue's own)
    };
    Kind kind = None;
    int code = -1;     // CmeError, CmsError: the number, or -1 for words outside the table
    std::string text;  // the line as it came, or what went wrong for the dialogue's own kinds

    bool Failed() const { return kind != Ok && kind != None; }
    // For a person: "+CMS ERROR: 500 (unknown error)", "no answer within 10 s", ...
    std::string Describe() const;
};

// The final result a line gives, or kind None.
FinalResult ReadFinalResult(const std::string& line);

}  // namespace modem
