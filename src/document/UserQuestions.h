#pragma once

#include <string>

namespace quav {

/// The answer to a question with Yes, No and Cancel.
enum class Answer { Yes, No, Cancel };

/// What a command tells the user and asks: one family for every command, the
/// document's, the files' and the windows', so that a test scripts each answer.
/// The desktop application answers with modal message boxes captioned "QUAV".
class UserQuestions {
public:
    virtual ~UserQuestions() = default;

    /// A modal message box with one OK button.
    virtual void message(const std::string& text) = 0;
    /// The same with a warning sign: something the user asked for failed.
    virtual void warning(const std::string& text) = 0;
    /// The same with an information sign: it worked, with a note to read.
    virtual void information(const std::string& text) = 0;
    /// A question with OK and Cancel: true for OK (Cancel is the default).
    virtual bool confirm(const std::string& text) = 0;
    /// A question with Yes, No and Cancel (Yes is the default).
    virtual Answer ask(const std::string& text) = 0;
};

} // namespace quav
