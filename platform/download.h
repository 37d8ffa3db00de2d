#pragma once
// URL download in place of URLDownloadToFile, and the maker's web-site address.

#include <QString>

namespace platform {

// The maker's web site when SUITE_WEB_BASE is not set.
inline constexpr char kDefaultWebBase[] = "https://www.taviro-suite.example/";

// The web-site base address: $SUITE_WEB_BASE when set and not empty, else kDefaultWebBase; always
// ends with "/".
QString WebBaseAddress();

// WebBaseAddress() joined with a site path such as "/languages/taviro/zfb.jpg" (one "/" between).
QString WebAddress(const QString& path);

// Fetches url (http, https or file) into file and returns true on success: a 2xx answer (redirects
// followed) whose body arrived whole within timeout_ms. The body goes to a temporary file beside
// file that is renamed over file only on success, so a failure never leaves half a file and leaves
// an existing file untouched. The folder of file must exist.
// Blocks the calling thread, running a local event loop that excludes user input; needs a
// QCoreApplication. Not for use while another local loop of the same thread waits on it.
bool DownloadUrlToFile(const QString& url, const QString& file, int timeout_ms);

}  // namespace platform
