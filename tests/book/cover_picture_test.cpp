#include "book/cover_picture.h"

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "tests/support/pictures.h"

namespace qb {
namespace {

using test::gifPicture;
using test::jpegPicture;
using test::pngPicture;

TEST(CoverPictureTest, WholePicturesPassAndEveryCutOneIsRefused) {
    for (const std::string& whole : {jpegPicture(), pngPicture(), gifPicture()}) {
        EXPECT_EQ(pictureFault(whole), "");
        // An interrupted download: whatever the length, the picture is not whole.
        for (std::size_t size = 0; size < whole.size(); ++size) {
            EXPECT_NE(pictureFault(whole.substr(0, size)), "") << whole.substr(0, 3) << size;
        }
    }
    // Bytes after the picture's end change nothing: readers never look at them.
    EXPECT_EQ(pictureFault(jpegPicture() + std::string(1000, 'x')), "");
}

TEST(CoverPictureTest, BrokenStructureIsRefusedAndNamed) {
    std::string png = pngPicture();
    png[45] = static_cast<char>(png[45] ^ 0x55);  // inside the picture data: its checksum fails
    EXPECT_EQ(pictureFault(png).rfind("The PNG data is broken: ", 0), 0u) << pictureFault(png);

    std::string gif = gifPicture();
    gif[6] = gif[7] = '\0';  // no width
    EXPECT_EQ(pictureFault(gif), "The GIF picture has no size");

    EXPECT_EQ(pictureFault(jpegPicture().substr(0, 100)),
              "The JPEG data is broken: Premature end of JPEG file");
    EXPECT_EQ(pictureFault("GIF89a"), "The GIF data ends early");

    try {
        checkPicture(pngPicture().substr(0, 20), "front.png");
        ADD_FAILURE() << "a cut picture passed";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "The cover \"front.png\" cannot be used. The PNG data is broken: the data ends "
                  "early");
    }
}

}  // namespace
}  // namespace qb
