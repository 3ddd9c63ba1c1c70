// Any config.ini, then one value written: the value reads back as written, and every other
// setting the file held reads back as it did before.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/ascii.h"
#include "platform/ini_file.h"

namespace {

using qb::fuzz::check;

const qb::fuzz::ScratchFolder* scratch = nullptr;

// Section and key names as callers spell them, and as a hand-edited file might.
const char* const kSections[] = {"Options", "options", "OPTIONS", "Other", "", "a b"};
const char* const kKeys[] = {"SavePath", "savepath", "Width", "x", "", "Save Path"};

// A value a line can hold: one line, no NUL.
std::string lineValue(std::string text) {
    std::string value;
    for (const char c : text) {
        if (c != '\r' && c != '\n' && c != '\0') value += c;
    }
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    scratch = &qb::fuzz::scratchFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = input.PickValueInArray(kSections);
    const std::string key = input.PickValueInArray(kKeys);
    const std::string otherSection = input.PickValueInArray(kSections);
    const std::string otherKey = input.PickValueInArray(kKeys);
    const std::string value = lineValue(input.ConsumeRandomLengthString(128));
    const std::string content = input.ConsumeRemainingBytesAsString();

    const std::string path = *scratch / "config.ini";
    qb::fuzz::writeFile(path, content);
    qb::IniFile ini(path);
    const std::string otherBefore = ini.readString(otherSection, otherKey, "\x01none");

    ini.writeString(section, key, value);
    if (std::getenv("QB_FUZZ_VERBOSE") != nullptr) {
        std::fprintf(stderr, "[%s] %s = <%s>, reads <%s>\n", section.c_str(), key.c_str(),
                     value.c_str(), ini.readString(section, key, "\x01none").c_str());
    }
    check(ini.readString(section, key, "\x01none") == value, "the value does not read back");
    const bool same = qb::IniFile(path).readString(section, key) == value;
    check(same, "a fresh reader sees another value");

    if (!qb::equalsIgnoringAsciiCase(otherSection, section) ||
        !qb::equalsIgnoringAsciiCase(otherKey, key)) {
        check(ini.readString(otherSection, otherKey, "\x01none") == otherBefore,
              "writing one setting changed another");
    }
    return 0;
}
