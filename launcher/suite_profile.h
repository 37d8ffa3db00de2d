#pragma once
// What the launcher does besides drawing: its profile (Set.xml, affiliate.dat), opening the product's
// web pages, and starting a tool. Every path is relative to the current directory: the launcher is
// started from its own folder. UI thread only.

#include <QString>
#include <QStringList>
#include <functional>

struct SuiteProfile {
    QString title;
    QString home_page_url;
    QString order_url;
    QString product0;  // the audio tool's folder
    QString product1;  // the video tool's folder
};

// Reads "Set.xml" (root, then Profile with Title, HomePageUrl, OrderUrl, Product0, Product1 in that
// order, each in its "value" attribute) and "affiliate.dat". A missing or malformed Set.xml leaves
// every value empty and affiliate.dat unread. An affiliate code (the file's bytes up to the first NUL,
// at most 100, in the locale's charset, untrimmed) adds "&affiliate=<code>" to the order address only:
// the product folders stay plain folder names.
SuiteProfile LoadProfile();

// The browser command line for a command template: the template is cut at its placeholder ("%1" or
// "%s", quoted or not; the quoted form is looked for first) and gets a space and the address there.
// A template without a placeholder is kept whole and gets the address appended.
QString BrowserCommandLine(const QString& command_template, const QString& address);

// Starts a program without waiting for it; the seam tests replace. The default starts a detached
// process.
using StartProcessFunction =
    std::function<bool(const QString& program, const QStringList& arguments, const QString& folder)>;

// Opens a web address with the desktop's opener; when that fails, runs the browser command (the first
// command of $BROWSER, else x-www-browser) made by BrowserCommandLine. Nothing is reported on failure.
void OpenUrl(const QString& address, const StartProcessFunction& start);

// Starts "<folder>/<program>" with "./<folder>" as its working directory; folder may be empty (the
// current directory). The result is ignored: a tool that cannot be started is not reported.
void StartTool(const QString& folder, const QString& program, const StartProcessFunction& start);

bool StartDetachedProcess(const QString& program, const QStringList& arguments, const QString& folder);
