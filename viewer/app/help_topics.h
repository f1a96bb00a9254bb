// Help: the topic table that maps a help context to a page of the help set,
// the two ways of showing help, and the F1 key of the forms, which every
// form hands to the main window's handler with its help context.
#pragma once

#include <QString>

#include "platform/help/html_help.h"

class QWidget;

namespace brevant {

// Lines of the topic table: line n names the page of help context n.
inline constexpr int kHelpTopicLines = 60;

// Line n of the topic table; empty for the lines that name no page (0, 6
// and 28) and for n outside the table.
QString helpTopicLine(int n);

// The application's help file: the program folder's "lumbra.chm".
QString helpFileName();

// Shows topic (a path inside the help file, such as "/main.htm"): the help
// file, "::" and topic, with HH_DISPLAY_TOPIC. The window answered, 0 when
// none opened; a message box then gives the help folder's path.
win::HWND ShowHelpTopic(const QString& topic);
// Shows the help file's contents (HH_DISPLAY_TOC), its web page in the
// browser, or the same message box when none opened.
win::HWND ShowHelpContents();
// Asks the help viewer to close its windows (the browser's are not ours,
// so nothing closes).
void CloseHelp();

// The main window's help handler for a context request: context 0 means 2;
// the topic is "/" and the context's line. A context outside the table or
// on a line without a page shows the contents instead of reading past it.
void FormHelp(int context);

// The help context of a form or control (0: the one of its parent).
void setHelpContext(QWidget* widget, int context);
int helpContext(const QWidget* widget);
// F1 on form asks FormHelp for the help context of the focused control,
// or of the nearest parent up to the form that has one, else 0.
void bindFormHelp(QWidget* form);

}  // namespace brevant
