// The standard modal message boxes. Every message to the user goes through here,
// so tests can answer and record them (setAnswerer) instead of blocking.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace Dialogs {

enum class TDialogKind
{
    Warning,
    Information,
    Confirmation,
    Error,
    ErrorDisplay
};

struct TDialogRecord
{
    TDialogKind kind = TDialogKind::Information;
    std::string caption;
    std::string text;
    std::vector<std::string> buttons;
    // Below the text, and the list behind its link "Show the list…" (both may be empty).
    std::string informative;
    std::string details;
};

inline constexpr const char *kOk = "OK";
inline constexpr const char *kCancel = "Abbrechen";

// Returns the text of the button pressed; anything else (say, an empty text)
// means the box was closed another way.
using TAnswerer = std::function<std::string(const TDialogRecord &)>;

// With an answerer set no box is shown: it decides instead. An empty function
// brings back the real boxes.
void setAnswerer(TAnswerer answerer);

// Builds the record of a box of this kind: its caption and buttons.
TDialogRecord recordFor(TDialogKind kind, const std::string &text);
// The text as a box shows it. A box holds about kBoxLines lines of text (a long
// line wraps into several); a longer text keeps its first lines and ends with
// how many lines were left out ("and N more lines"), so the box and its buttons
// stay on the screen. A first line too long for a box on its own is cut short
// with "...". A text that fits is shown as it is.
inline constexpr std::size_t kBoxLines = 20;
std::string boxText(const std::string &text);
// Shows the box (or asks the answerer, who gets the whole text) and returns the button pressed.
std::string show(const TDialogRecord &record);

void warning(const std::string &text);
void information(const std::string &text);
void error(const std::string &text);
// True only for "OK"; "Abbrechen", Escape and the close button give false.
bool confirm(const std::string &text);
// The same question with what it will do: a line of counts below the text and
// the whole list behind a link there; the box's buttons stay the question's.
bool confirmShowing(const std::string &text, const std::string &informative,
                    const std::string &details);

// `heading` and the first few `items`, one a line, then "and N more" for the rest.
std::string listText(const std::string &heading, const std::vector<std::string> &items);
// The same when `items` are the first of `total`.
std::string listText(const std::string &heading, const std::vector<std::string> &items,
                     std::size_t total);

// The application's default error display: caption the application title,
// error icon, one "OK"; the text gets a period unless it ends in one
// (see errorDisplayText).
void errorDisplay(const std::string &message);
std::string errorDisplayText(const std::string &message);

} // namespace Dialogs
