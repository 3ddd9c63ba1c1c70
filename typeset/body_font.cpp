#include "typeset/body_font.h"

#include <hb-ot.h>
#include <hb-subset.h>
#include <hb.h>
#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "platform/errors.h"
#include "platform/text_file.h"

namespace qb {
namespace {

struct BlobFree {
    void operator()(hb_blob_t* b) const { hb_blob_destroy(b); }
};
struct FaceFree {
    void operator()(hb_face_t* f) const { hb_face_destroy(f); }
};
struct SetFree {
    void operator()(hb_set_t* s) const { hb_set_destroy(s); }
};
struct InputFree {
    void operator()(hb_subset_input_t* i) const { hb_subset_input_destroy(i); }
};
using Blob = std::unique_ptr<hb_blob_t, BlobFree>;
using FacePtr = std::unique_ptr<hb_face_t, FaceFree>;

std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

// The OS/2 table's embedding bits (fsType); 0 (installable) when the table is missing.
unsigned embeddingBits(hb_face_t* face) {
    Blob table(hb_face_reference_table(face, HB_TAG('O', 'S', '/', '2')));
    unsigned length = 0;
    const char* data = hb_blob_get_data(table.get(), &length);
    if (data == nullptr || length < 10) return 0;
    return (unsigned(static_cast<unsigned char>(data[8])) << 8) |
           static_cast<unsigned char>(data[9]);
}

std::string nameOf(hb_face_t* face, hb_ot_name_id_t id) {
    unsigned size = 0;
    const hb_language_t english = hb_language_from_string("en", -1);
    size = hb_ot_name_get_utf8(face, id, english, nullptr, nullptr);
    if (size == 0) return {};
    std::string name(size + 1, '\0');
    unsigned room = size + 1;
    hb_ot_name_get_utf8(face, id, english, &room, name.data());
    name.resize(room);
    return name;
}

// A family name that can stand in a CSS string as it is: quotes, backslashes and controls would
// end the string or the rule.
std::string cssFamilyName(hb_face_t* face) {
    std::string name = nameOf(face, HB_OT_NAME_ID_TYPOGRAPHIC_FAMILY);
    if (name.empty()) name = nameOf(face, HB_OT_NAME_ID_FONT_FAMILY);
    std::string safe;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F && c != '"' && c != '\\' && c != '\'') safe += c;
    }
    return safe.empty() ? "Body text" : safe;
}

std::set<char32_t> faceCharacters(hb_face_t* face) {
    std::unique_ptr<hb_set_t, SetFree> set(hb_set_create());
    hb_face_collect_unicodes(face, set.get());
    std::set<char32_t> characters;
    for (hb_codepoint_t c = HB_SET_VALUE_INVALID; hb_set_next(set.get(), &c);)
        characters.insert(char32_t(c));
    return characters;
}

}  // namespace

// The bytes stay with the face: HarfBuzz reads from them without copying.
struct BodyFont::Face {
    std::string bytes;
    Blob blob;
    FacePtr face;
};

BodyFont::BodyFont(const std::string& given) : m_path(given) {
    // "FILE#2" names the third font of FILE, unless a file is really called "FILE#2".
    const std::size_t hash = given.rfind('#');
    struct stat st {};
    std::string indexText = "0";
    if (hash != std::string::npos && hash + 1 < given.size() && ::stat(given.c_str(), &st) != 0) {
        const std::string digits = given.substr(hash + 1);
        unsigned long long index = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), index);
        if (end == digits.data() + digits.size() &&
            (error == std::errc() || error == std::errc::result_out_of_range)) {
            m_path = given.substr(0, hash);
            m_index = error == std::errc() && index < 0xFFFFFFFFull ? unsigned(index) : 0xFFFFFFFFu;
            indexText = digits;
        }
    }
    m_face = std::make_unique<Face>();
    try {
        m_face->bytes = readFileBytes(m_path, kMaxFontBytes);
    } catch (const FileTooLargeError&) {
        throw Error("The font " + quoted(m_path) + " is larger than " +
                    FileTooLargeError::sizeText(kMaxFontBytes) + ", the most a book takes.");
    }
    const std::string& bytes = m_face->bytes;
    m_fileBytes = bytes.size();
    const std::string tag = bytes.substr(0, 4);
    m_collection = tag == "ttcf";
    if (tag == "wOFF" || tag == "wOF2") {
        throw Error("The font " + quoted(m_path) +
                    " is a web font (WOFF); please give the TrueType or OpenType file it was "
                    "made from.");
    }
    if (tag != std::string("\0\1\0\0", 4) && tag != "OTTO" && tag != "true" && !m_collection)
        throw Error("Not a TrueType or OpenType font: " + quoted(m_path) + ".");

    m_face->blob.reset(hb_blob_create(bytes.data(), unsigned(bytes.size()), HB_MEMORY_MODE_READONLY,
                                      nullptr, nullptr));
    const unsigned count = hb_face_count(m_face->blob.get());
    if (count == 0)
        throw Error("The font " + quoted(m_path) + " is damaged: no font can be read from it.");
    if (m_index >= count) {
        const std::string held = count == 1 ? "1 font (#0)"
                                            : std::to_string(count) + " fonts (#0 to #" +
                                                  std::to_string(count - 1) + ")";
        throw Error("The font file " + quoted(m_path) + " holds " + held + "; there is no font #" +
                    indexText + ".");
    }
    m_face->face.reset(hb_face_create(m_face->blob.get(), m_index));
    hb_face_t* face = m_face->face.get();
    if (hb_face_get_glyph_count(face) == 0 || faceCharacters(face).empty())
        throw Error("The font " + quoted(m_path) +
                    " is damaged: it has no glyphs for any character.");

    // Bits 1 to 3 are exclusive; a font that sets several grants the least restrictive.
    const unsigned bits = embeddingBits(face);
    if ((bits & 0x000E) == 0x0002) {
        throw Error("The font " + quoted(m_path) +
                    " may not be embedded: its licence sets \"restricted licence embedding\" "
                    "(OS/2 fsType bit 1).");
    }
    if (bits & 0x0200) {
        throw Error("The font " + quoted(m_path) +
                    " may not be embedded: its licence allows embedding only its bitmaps "
                    "(OS/2 fsType bit 9).");
    }
    m_subsettable = (bits & 0x0100) == 0;
    if (!m_subsettable && m_collection) {
        throw Error("The font " + quoted(m_path) +
                    " may not be embedded: its licence forbids taking one font out of the "
                    "collection or subsetting it (OS/2 fsType bit 8).");
    }
    m_familyName = cssFamilyName(face);
}

BodyFont::~BodyFont() = default;
BodyFont::BodyFont(BodyFont&&) noexcept = default;
BodyFont& BodyFont::operator=(BodyFont&&) noexcept = default;

BodyFont::Embedded BodyFont::embedded(const std::set<char32_t>& characters) const {
    Embedded result;
    if (!m_subsettable) {
        result.bytes = m_face->bytes;
    } else {
        std::unique_ptr<hb_subset_input_t, InputFree> input(hb_subset_input_create_or_fail());
        if (!input) throw Error("Cannot subset the font " + quoted(m_path) + ": out of memory");
        hb_set_t* unicodes = hb_subset_input_unicode_set(input.get());
        for (const char32_t c : characters) hb_set_add(unicodes, hb_codepoint_t(c));
        // Readers hint at their own screen's size; the font's hinting would double a CJK
        // subset's size for nothing.
        hb_subset_input_set_flags(input.get(), HB_SUBSET_FLAGS_NO_HINTING);
        FacePtr subset(hb_subset_or_fail(m_face->face.get(), input.get()));
        if (!subset) throw Error("Cannot subset the font " + quoted(m_path) + ".");
        Blob blob(hb_face_reference_blob(subset.get()));
        unsigned length = 0;
        const char* data = hb_blob_get_data(blob.get(), &length);
        if (data == nullptr || length == 0)
            throw Error("Cannot subset the font " + quoted(m_path) + ".");
        result.bytes.assign(data, length);
    }
    result.extension = result.bytes.compare(0, 4, "OTTO") == 0 ? "otf" : "ttf";
    return result;
}

std::set<char32_t> BodyFont::characters() const {
    return faceCharacters(m_face->face.get());
}

std::set<char32_t> BodyFont::characters(const std::string& fontBytes) {
    Blob blob(hb_blob_create(fontBytes.data(), unsigned(fontBytes.size()), HB_MEMORY_MODE_READONLY,
                             nullptr, nullptr));
    FacePtr face(hb_face_create(blob.get(), 0));
    return faceCharacters(face.get());
}

std::string fontMediaType(const std::string& extension, int epubVersion) {
    if (epubVersion == 3) return extension == "otf" ? "font/otf" : "font/ttf";
    return extension == "otf" ? "application/vnd.ms-opentype" : "application/x-font-truetype";
}

}  // namespace qb
