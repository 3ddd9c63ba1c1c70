#include "book/book_pages.h"

#include "book/xhtml_page.h"
#include "platform/errors.h"
#include "platform/language.h"
#include "platform/locale.h"
#include "platform/utf8.h"

namespace qb {

BookPages::BookPages(const BookProject& project, std::string contentFolder, LanguageDetector detect)
    : m_project(project), m_contentFolder(std::move(contentFolder)), m_detect(std::move(detect)) {
    if (!m_detect) m_detect = [](std::string_view text) { return detectLanguage(text); };
    if (!project.chapters.empty() && project.chapters != "off")
        m_chapters = std::make_unique<ChapterHeadings>(project.chapters);
    m_options.paragraphs = project.paragraphs;
    m_options.chapters = m_chapters.get();
    m_options.maxPageBytes = project.maxPageBytes;
    m_options.tocLabels = project.tocLabels;
    if (project.epubVersion != 2 && project.epubVersion != 3)
        throw Error("EPUB version " + std::to_string(project.epubVersion) + " is neither 2 nor 3");
    m_options.epubVersion = project.epubVersion;

    if (project.language.empty()) {
        m_languageTag = qb::languageTag();
    } else if (project.language == "auto") {
        m_sampling = true;
    } else if (isLanguageTag(project.language)) {
        m_languageTag = project.language;
    } else {
        throw Error("\"" + project.language + "\" is not a language tag");
    }
    m_options.languageTag = m_languageTag;
}

BookPages::~BookPages() = default;

std::vector<int> BookPages::add(int k, ReadingReport& ui) {
    const std::string& path = m_project.sourceFiles.at(static_cast<std::size_t>(k - 1));
    const auto source = std::make_unique<SourceText>(path, m_project.charset);
    const TextPlan& plan = source->plan();
    ui.textRead(k, "page" + std::to_string(k) + pageFileExtension(m_options.epubVersion), path,
                plan.charset, plan.detected);
    if (plan.nulOffset != std::string_view::npos) {
        ui.showWarning(path,
                       "the text ends at a NUL byte at offset " + std::to_string(plan.nulOffset));
    }
    if (m_sampling) {
        const std::size_t before = m_sample.size();
        if (sample(*source) && m_sample.size() < kLanguageSampleBytes) {
            // All of the file's text is in the sample: its pages are written from there.
            m_kept.push_back({k, before, m_sample.size() - before});
            return {};
        }
        return settleLanguage(source.get(), k);
    }
    write(k, [&](const TextSink& sink) { source->decode(sink); });
    return {k};
}

std::vector<int> BookPages::finish() {
    if (!m_sampling) return {};
    return settleLanguage(nullptr, 0);
}

bool BookPages::sample(const SourceText& source) {
    const std::size_t before = m_sample.size();
    const std::size_t need = kLanguageSampleBytes - before;
    // Decoding the whole of a huge file to judge its first quarter megabyte would waste time:
    // no charset takes more than four bytes for a character of at least one byte of UTF-8.
    TextPlan plan = source.plan();
    bool whole = true;
    if (plan.text.size() / 4 > need) {
        plan.text = plan.text.substr(0, 4 * need);
        whole = false;
    }
    decodeText(plan, [&](std::string_view piece) {
        if (m_sample.size() - before <= need) m_sample.append(piece);
    });
    if (m_sample.size() - before > need) {
        m_sample.resize(before + utf8CutBefore(std::string_view(m_sample).substr(before), need));
        whole = false;
    }
    return whole;
}

std::vector<int> BookPages::settleLanguage(const SourceText* current, int currentK) {
    m_sampling = false;
    m_languageTag = m_detect(m_sample);
    if (m_languageTag.empty() || !isLanguageTag(m_languageTag)) m_languageTag = qb::languageTag();
    m_options.languageTag = m_languageTag;

    std::vector<int> written;
    for (const Kept& kept : m_kept) {
        const std::string_view text = std::string_view(m_sample).substr(kept.offset, kept.size);
        write(kept.k, [&](const TextSink& sink) {
            if (!text.empty()) sink(text);
        });
        written.push_back(kept.k);
    }
    m_kept.clear();
    if (current != nullptr) {
        write(currentK, [&](const TextSink& sink) { current->decode(sink); });
        written.push_back(currentK);
    }
    std::string().swap(m_sample);
    return written;
}

void BookPages::write(int k, const TextFeed& text) {
    const std::string& path = m_project.sourceFiles.at(static_cast<std::size_t>(k - 1));
    TextPages pages = writeTextPages(text, k, path, m_contentFolder, m_options);
    for (PageFile& page : pages.pages) m_outline.pages.push_back(std::move(page));
    for (TocEntry& entry : pages.toc) m_outline.toc.push_back(std::move(entry));
}

}  // namespace qb
