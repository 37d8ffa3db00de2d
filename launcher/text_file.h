#pragma once
// CTextFile: reads text files of unknown encoding into UTF-16 and writes UTF-16 text in a chosen
// encoding. The encoding comes from a byte-order mark, an XML declaration, an HTML meta charset or
// the UTF-8 validity of the bytes. What it did is recorded as result entries
// ("<read encoding=.. length=../>") in the format of CXmlDocument's result text. Plain C++ over stdio
// and iconv; one object per open file, used by one thread at a time.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

class CTextFile {
  public:
    static constexpr size_t kReadBlockBytes = 16384;

    CTextFile() = default;
    ~CTextFile();
    CTextFile(const CTextFile&) = delete;
    CTextFile& operator=(const CTextFile&) = delete;

    // Reads a whole file into text. The result text is replaced by the file's entries; in flags the
    // file-mode bits are cleared and the file's encoding bits (UTF-16LE, UTF-8 mark, UTF-16BE) set.
    // False when the file could not be opened or read.
    static bool LoadTextFromFile(const std::string& path, std::u16string& text, std::u16string& result,
                                 uint32_t& flags);

    // The encoding declared at the start of a text: the XML declaration's encoding, or the charset
    // of an HTML head's Content-Type meta tag; empty when none.
    static std::u16string DeclaredEncoding(std::u16string_view head);

    // Pull reading: opens the file and detects its encoding; ReadBlock then appends the next block,
    // ending on a character boundary, to text.
    bool OpenRead(const std::string& path, uint32_t& flags, size_t block_bytes = kReadBlockBytes);
    bool ReadBlock(std::u16string& text);
    bool AtEnd() const { return m_carry.empty() && m_done >= m_length; }
    size_t BlockSize() const { return m_block; }
    void DoubleBlockSize() { m_block *= 2; }

    // Writing: flags carry the mode (write or append) and the encoding bits; without encoding bits,
    // text is written in encoding. The byte-order mark is written when the file is empty.
    bool OpenWrite(const std::string& path, uint32_t flags, std::u16string_view encoding);
    bool WriteText(std::u16string_view text);

    bool Close();
    std::u16string& Result() { return m_result; }
    const std::u16string& Encoding() const { return m_encoding; }

  private:
    bool Open(const std::string& path, const char* mode);
    void FileError(int error);
    bool DetectEncoding(uint32_t& flags);

    FILE* m_file = nullptr;
    uint32_t m_flags = 0;
    size_t m_block = kReadBlockBytes;
    int64_t m_length = 0;
    int64_t m_done = 0;
    int m_unit = 1;
    std::u16string m_result;
    std::u16string m_encoding;
    std::string m_carry;  // read-file mode: bytes of a character cut by the end of the last block
    bool m_detect_utf8 = false;
};
