#pragma once
// The error box a hyperlink shows when its address cannot be opened.

#include <QString>

class QWidget;

// "Unable to open hyperlink:\n\n" followed by the reason for a shell error code.
QString HyperlinkErrorText(int code);

// Beeps and shows the text in a modal box with an exclamation icon and an OK button.
void ShowHyperlinkError(QWidget* parent, const QString& text);
