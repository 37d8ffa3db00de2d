// libFuzzer target: the input is parsed as UTF-16 text, then written to a file and read back through
// the text-file reader (every encoding path: marks, declarations, UTF-8 detection, conversion), then
// navigated. Anything the sanitizers report is a fault.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "launcher/text_file.h"
#include "launcher/xml_document.h"

namespace {

void Walk(CXmlDocument& doc) {
    int steps = 0;
    while (doc.FindChildElement() && steps++ < 64) {
        doc.EnterElement();
        doc.GetAttribute(u"value");
        doc.GetAttribute(u"a");
        doc.GetTagName();
        doc.LeaveElement();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text(size / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    {
        CXmlDocument doc(text);
        Walk(doc);
        CXmlDocument::DecodeText(text);
    }
    static const std::string path = "/tmp/xml_fuzz_" + std::to_string(getpid()) + ".xml";
    if (FILE* f = fopen(path.c_str(), "wb")) {
        fwrite(data, 1, size, f);
        fclose(f);
    }
    CXmlDocument doc;
    doc.LoadFile(path);
    Walk(doc);
    // Small blocks, so that characters and nodes are cut at block ends.
    CXmlDocument pull;
    const size_t block = size ? 2 + data[0] % 61 : 16;
    if (pull.OpenFile(path, CXmlDocument::kReadFile, u"UTF-8", block)) {
        int found = 0;
        while (pull.FindElement() && found++ < 256) pull.GetAttribute(u"value");
        pull.Close();
    }
    return 0;
}
