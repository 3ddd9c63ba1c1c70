#pragma once
// A font the user gives for the body text: checked when a run begins, subset to the characters
// the book uses when it ends, so that a 16 MiB CJK font costs a novel a few hundred KiB.

#include <cstdint>
#include <memory>
#include <set>
#include <string>

namespace qb {

// The largest font file taken. The largest CJK collections hold about 120 MiB; more is no font
// a book should carry, and a device given as the font cannot exhaust memory.
inline constexpr std::uint64_t kMaxFontBytes = std::uint64_t{128} << 20;

class BodyFont {
  public:
    // given is FILE, or FILE#INDEX for one font of a collection (.ttc, .otc; FILE alone takes its
    // first). A path that itself names a file is taken whole, "#" and all. Raises Error with a
    // message naming the file and what is wrong: unreadable, too large, no TrueType or OpenType
    // font, no such font in the collection, or a licence that forbids embedding.
    explicit BodyFont(const std::string& given);
    ~BodyFont();
    BodyFont(BodyFont&&) noexcept;
    BodyFont& operator=(BodyFont&&) noexcept;

    const std::string& path() const { return m_path; }
    unsigned index() const { return m_index; }
    bool collection() const { return m_collection; }
    std::uint64_t fileBytes() const { return m_fileBytes; }
    // The family name the font gives itself, fit for a CSS string ("Noto Sans CJK SC").
    const std::string& familyName() const { return m_familyName; }
    // False when the licence allows embedding only of the whole font (OS/2 fsType bit 8).
    bool subsettable() const { return m_subsettable; }

    struct Embedded {
        std::string bytes;
        std::string extension;  // "otf" for CFF outlines, else "ttf"
    };
    // The font to embed: only the glyphs of these characters (and what shaping them needs),
    // as one font even from a collection; the whole file when it may not be subset.
    Embedded embedded(const std::set<char32_t>& characters) const;

    // The characters the font (or the given font bytes) maps to glyphs.
    std::set<char32_t> characters() const;
    static std::set<char32_t> characters(const std::string& fontBytes);

  private:
    struct Face;
    std::string m_path;
    unsigned m_index = 0;
    std::uint64_t m_fileBytes = 0;
    std::string m_familyName;
    bool m_subsettable = true;
    bool m_collection = false;
    std::unique_ptr<Face> m_face;
};

// The media type a font file is listed with in the package document: EPUB 3 checkers take the
// registered font types, EPUB 2 ones the older names readers of that time know.
std::string fontMediaType(const std::string& extension, int epubVersion);

}  // namespace qb
