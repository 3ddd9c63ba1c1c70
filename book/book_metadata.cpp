#include "book/book_metadata.h"

#include <cstdio>
#include <ctime>
#include <random>

#include "book/xml/xml_text.h"
#include "platform/blank.h"

namespace qb {

std::string epub3Title(const std::string& title) {
    std::string text = xmlChars(title);
    if (isBlank(text)) return "untitled";
    return text;
}

std::string newBookIdentifier() {
    std::random_device device;
    unsigned char bytes[16];
    for (int i = 0; i < 16; i += 4) {
        std::uint32_t r = device();
        for (int j = 0; j < 4; ++j) bytes[i + j] = static_cast<unsigned char>(r >> (8 * j));
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    static const char hex[] = "0123456789abcdef";
    std::string id = "urn:uuid:";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) id += '-';
        id += hex[bytes[i] >> 4];
        id += hex[bytes[i] & 0x0F];
    }
    return id;
}

std::string todayDate(std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

std::string modifiedTimestamp(std::time_t now) {
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

}  // namespace qb
