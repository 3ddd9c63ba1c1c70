#include "tests/cli/cli_fixture.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace qb::test {

void CliTest::SetUp() {
    fs::create_directory(m_tmp);
}

std::string CliTest::file(const std::string& name, const std::string& bytes) {
    const std::string p = path(name);
    fs::create_directories(fs::path(p).parent_path());
    writeFile(p, bytes);
    return p;
}

ProgramOptions CliTest::cliOptions() const {
    ProgramOptions options;
    options.environment = {{"TMPDIR", m_tmp}, {"LC_ALL", "C.UTF-8"}};
    return options;
}

std::vector<std::string> CliTest::cliArgs(const std::vector<std::string>& args) const {
    std::vector<std::string> all{QB_CLI_PATH};
    if (m_plain) all.push_back("--plain");
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

ProgramResult CliTest::cli(const std::vector<std::string>& args) {
    return cli(args, cliOptions());
}

ProgramResult CliTest::cli(const std::vector<std::string>& args, const ProgramOptions& options) {
    ProgramResult result = runProgram(cliArgs(args), options);
    EXPECT_TRUE(leftWorkFolders().empty()) << "the work folder was left behind";
    return result;
}

std::string CliTest::makeBook(const std::vector<std::string>& args) {
    const ProgramResult r = cli(args);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::string archive = r.out;
    if (!archive.empty() && archive.back() == '\n') archive.pop_back();
    EXPECT_TRUE(fs::is_regular_file(archive)) << "stdout: " << r.out;
    return archive;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

pugi::xml_document parseXml(const std::string& bytes) {
    pugi::xml_document doc;
    const pugi::xml_parse_result result = doc.load_buffer(bytes.data(), bytes.size());
    EXPECT_TRUE(result) << result.description();
    return doc;
}

std::string archiveMember(const std::string& archive, const std::string& member) {
    const ProgramResult r = runProgram({"unzip", "-p", archive, member});
    EXPECT_EQ(r.exitStatus, 0) << "unzip -p " << archive << " " << member << "\n" << r.err;
    return r.out;
}

std::vector<std::string> archiveMembers(const std::string& archive) {
    const ProgramResult r = runProgram({"unzip", "-Z1", archive});
    EXPECT_EQ(r.exitStatus, 0) << "unzip -Z1 " << archive << "\n" << r.err;
    std::vector<std::string> names;
    std::size_t start = 0;
    for (std::size_t end = r.out.find('\n'); end != std::string::npos;
         start = end + 1, end = r.out.find('\n', start))
        names.push_back(r.out.substr(start, end - start));
    return names;
}

std::vector<std::string> ncxEntries(const std::string& archive,
                                    const std::function<void(pugi::xml_node)>& check) {
    const pugi::xml_document ncx = parseXml(archiveMember(archive, "OEBPS/fb.ncx"));
    std::vector<std::string> entries;
    std::function<void(pugi::xml_node, const std::string&)> walk = [&](pugi::xml_node parent,
                                                                       const std::string& indent) {
        for (pugi::xml_node point : parent.children("navPoint")) {
            if (check) check(point);
            entries.push_back(indent + point.child("navLabel").child_value("text") + ">" +
                              point.child("content").attribute("src").value());
            walk(point, indent + "  ");
        }
    };
    walk(ncx.child("ncx").child("navMap"), "");
    return entries;
}

void expectValidBook(const std::string& epub, int epubVersion) {
    const ProgramResult r = runProgram(
        {"java", "-Xshare:auto", "-XX:TieredStopAtLevel=1", "-jar", QB_EPUBCHECK_JAR, epub});
    EXPECT_EQ(r.exitStatus, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("No errors or warnings detected"), std::string::npos) << r.out << r.err;
    const std::string rules = "Validating using EPUB version " + std::to_string(epubVersion) + ".";
    EXPECT_NE(r.out.find(rules), std::string::npos) << r.out;
}

namespace {

std::string bytes(std::initializer_list<unsigned char> list) {
    return {list.begin(), list.end()};
}

}  // namespace

std::string jpegPicture() {
    return bytes({
        0xff, 0xd8, 0xff, 0xe0, 0x00, 0x10, 0x4a, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00,
        0x01, 0x00, 0x01, 0x00, 0x00, 0xff, 0xdb, 0x00, 0x43, 0x00, 0x10, 0x0b, 0x0c, 0x0e, 0x0c,
        0x0a, 0x10, 0x0e, 0x0d, 0x0e, 0x12, 0x11, 0x10, 0x13, 0x18, 0x28, 0x1a, 0x18, 0x16, 0x16,
        0x18, 0x31, 0x23, 0x25, 0x1d, 0x28, 0x3a, 0x33, 0x3d, 0x3c, 0x39, 0x33, 0x38, 0x37, 0x40,
        0x48, 0x5c, 0x4e, 0x40, 0x44, 0x57, 0x45, 0x37, 0x38, 0x50, 0x6d, 0x51, 0x57, 0x5f, 0x62,
        0x67, 0x68, 0x67, 0x3e, 0x4d, 0x71, 0x79, 0x70, 0x64, 0x78, 0x5c, 0x65, 0x67, 0x63, 0xff,
        0xc0, 0x00, 0x0b, 0x08, 0x00, 0x08, 0x00, 0x08, 0x01, 0x01, 0x11, 0x00, 0xff, 0xc4, 0x00,
        0x14, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x04, 0xff, 0xc4, 0x00, 0x16, 0x10, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x43, 0xff, 0xda,
        0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3f, 0x00, 0x3a, 0x54, 0xcf, 0xff, 0xd9,
    });
}

std::string pngPicture() {
    return bytes({
        0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49,
        0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x08, 0x08, 0x00,
        0x00, 0x00, 0x00, 0xe1, 0x64, 0xe1, 0x57, 0x00, 0x00, 0x00, 0x14, 0x49, 0x44,
        0x41, 0x54, 0x78, 0xda, 0x63, 0x60, 0x50, 0x70, 0x48, 0x68, 0x58, 0x70, 0xe0,
        0x01, 0x03, 0x65, 0x0c, 0x00, 0xc6, 0x75, 0x1c, 0x01, 0x8a, 0xb0, 0x51, 0xc1,
        0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82,
    });
}

}  // namespace qb::test
