#include "app/about.h"

#include "platform/build_info.h"

namespace qb {

namespace {

struct Library {
    const char* name;
    const char* licence;
};

// As the Debian packages' copyright files give them; the licences ship with those packages.
constexpr Library kLibraries[] = {
    {"Qt", "LGPL-3"},
    {"zlib", "Zlib"},
    {"libdeflate", "MIT"},
    {"libpng", "libpng licence"},
    {"libjpeg-turbo", "IJG, BSD-3-Clause, Zlib"},
    {"pugixml", "MIT"},
    {"PCRE2", "BSD-3-Clause"},
    {"uchardet", "MPL-1.1, GPL-2+ or LGPL-2.1+"},
    {"CLD2", "Apache-2.0"},
    {"HarfBuzz", "MIT"},
    {"Cairo", "LGPL-2.1 or MPL-1.1"},
    {"Pango", "LGPL-2+"},
    {"Fontconfig", "MIT-style (HPND)"},
    {"OpenCC", "Apache-2.0"},
    {"CLI11", "BSD-3-Clause"},
};

}  // namespace

QString aboutCaption() {
    return QStringLiteral("About Quirebind");
}

QString aboutText() {
    QString text = QStringLiteral("<p><b>Quirebind %1</b></p>").arg(QString::fromLatin1(kVersion));
    text += QStringLiteral(
        "<p>Turns plain-text files into an EPUB book, with a title, an author, a cover and "
        "a table of contents.</p><p>Built with:</p><table>");
    for (const Library& library : kLibraries) {
        text += QStringLiteral("<tr><td>%1</td><td>&nbsp;&nbsp;%2</td></tr>")
                    .arg(QString::fromLatin1(library.name), QString::fromLatin1(library.licence));
    }
    // GoogleTest (BSD-3-Clause) builds only the tests and is not part of the program.
    text += QStringLiteral("</table><p>F1 shows this box.</p>");
    return text;
}

}  // namespace qb
