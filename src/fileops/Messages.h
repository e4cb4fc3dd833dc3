// The messages the converter shows the user. The file operations and the workflow call this
// interface; the windows show each call as a modal message box titled with the application
// title, the command line prints it, and tests record it. Lines inside a text are joined by the
// single character 13.
#pragma once

#include <string>

namespace zel {

// Lines inside a message are joined by this single character.
inline constexpr char CR = '\r';

// A file name shown at the end of a message: after an empty line, indented by five blanks.
inline std::string NameBelow(const std::string& name) {
    return std::string(2, CR) + "     " + name;
}

class Messages {
public:
    virtual ~Messages() = default;
    // A notice, a success or a refusal that needs no warning: information icon, OK button.
    virtual void Inform(const std::string& text) = 0;
    // A refusal or an error: warning (exclamation) icon, OK button.
    virtual void Warn(const std::string& text) = 0;
    // A question with Yes and No, Yes the default, information icon. True for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // A failed file operation's warning, with the file layer's error code that decided its text
    // (platform::code), for a caller that acts on the kind of failure. Shown as Warn.
    virtual void WarnFailure(const std::string& text, int errorCode) {
        (void)errorCode;
        Warn(text);
    }
};

} // namespace zel
