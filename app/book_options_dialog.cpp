#include "app/book_options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "app/dialog_layout.h"
#include "platform/locale.h"

namespace qb {

namespace {

// A choice list with a field beside it for the last choice ("a pattern", "this tag").
QWidget* withField(QComboBox* box, QLineEdit* field, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(box);
    layout->addWidget(field, 1);
    row->setFocusProxy(box);
    return row;
}

// A row whose label's mnemonic moves to buddy. The label's buddy must take the focus itself:
// a row holding two controls takes none, and a focus proxy does not make it.
void addRow(QFormLayout* form, const QString& text, QWidget* field, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    form->addRow(label, field);
}

}  // namespace

BookOptionsDialog::BookOptionsDialog(const BookOptions& options, QWidget* parent)
    : QDialog(parent),
      m_paragraphs(new QComboBox(this)),
      m_conventions(new QComboBox(this)),
      m_chapters(new QComboBox(this)),
      m_pattern(new QLineEdit(this)),
      m_tocLabels(new QComboBox(this)),
      m_language(new QComboBox(this)),
      m_languageTag(new QLineEdit(this)),
      m_pageCap(new QSpinBox(this)),
      m_encoding(new QComboBox(this)),
      m_charset(new QLineEdit(this)),
      m_version(new QComboBox(this)),
      m_style(new QComboBox(this)),
      m_titlePage(
          new QCheckBox(QStringLiteral("A page with the title and &author after the cover"), this)),
      m_stylesheet(new QLineEdit(this)),
      m_chooseStylesheet(new QPushButton(QStringLiteral("C&hoose..."), this)),
      m_writingMode(new QComboBox(this)),
      m_generatedCover(new QCheckBox(
          QStringLiteral("&Draw one with the title and author when none is given"), this)),
      m_font(new QLineEdit(this)),
      m_chooseFont(new QPushButton(QStringLiteral("Choo&se..."), this)),
      m_oneBookPerFile(new QCheckBox(QStringLiteral("One &book per text file"), this)),
      m_problem(new QLabel(this)),
      m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setObjectName(QStringLiteral("BookOptionsDialog"));
    setWindowTitle(QStringLiteral("Book options"));

    m_paragraphs->addItems({QStringLiteral("Each line is a paragraph"),
                            QStringLiteral("Blank lines separate paragraphs"),
                            QStringLiteral("Detect from the text")});
    m_paragraphs->setCurrentIndex(options.paragraphs == ParagraphMode::Blocks ? 1
                                  : options.paragraphs == ParagraphMode::Auto ? 2
                                                                              : 0);

    m_conventions->addItems({QStringLiteral("None: the text as it is"),
                             QStringLiteral("Detect (Gutenberg header, _italics_, * * *)")});
    m_conventions->setCurrentIndex(options.conventions ? 1 : 0);

    m_chapters->addItems({QStringLiteral("None"), QStringLiteral("Detect chapter headings"),
                          QStringLiteral("Headings matching:")});
    m_pattern->setPlaceholderText(QStringLiteral("^Chapter \\d+"));
    m_chapters->setCurrentIndex(options.chapterMode == ChapterMode::Auto      ? 1
                                : options.chapterMode == ChapterMode::Pattern ? 2
                                                                              : 0);
    if (options.chapterMode == ChapterMode::Pattern)
        m_pattern->setText(QString::fromStdString(options.chapterPattern));

    m_tocLabels->addItems({QStringLiteral("page1, page2, ..."), QStringLiteral("File names"),
                           QStringLiteral("First line of each file")});
    m_tocLabels->setCurrentIndex(options.tocLabels == TocLabels::File        ? 1
                                 : options.tocLabels == TocLabels::FirstLine ? 2
                                                                             : 0);

    m_language->addItems(
        {QStringLiteral("From the system (%1)").arg(QString::fromStdString(languageTag())),
         QStringLiteral("Detect from the text"), QStringLiteral("This tag:")});
    m_languageTag->setPlaceholderText(QStringLiteral("de, pt-BR, zh-Hant"));
    if (options.language == "auto") {
        m_language->setCurrentIndex(1);
    } else if (!options.language.empty()) {
        m_language->setCurrentIndex(2);
        m_languageTag->setText(QString::fromStdString(options.language));
    }

    m_pageCap->setRange(0, kMaxPageKiB);
    m_pageCap->setSuffix(QStringLiteral(" KiB"));
    m_pageCap->setSpecialValueText(QStringLiteral("No limit"));
    m_pageCap->setValue(static_cast<int>(options.maxPageBytes / 1024));

    m_encoding->addItems({QStringLiteral("Automatic"), QStringLiteral("This charset:")});
    m_charset->setPlaceholderText(QStringLiteral("windows-1252, GB18030"));
    if (!options.charset.empty()) {
        m_encoding->setCurrentIndex(1);
        m_charset->setText(QString::fromStdString(options.charset));
    }

    m_version->addItems({QStringLiteral("EPUB 2"), QStringLiteral("EPUB 3")});
    m_version->setCurrentIndex(options.epubVersion == 3 ? 1 : 0);

    m_style->addItems({QStringLiteral("Plain: a gap after every paragraph"),
                       QStringLiteral("Indented first lines, as printed books"),
                       QStringLiteral("Spaced paragraphs, centred headings")});
    m_style->setCurrentIndex(options.style == BookStyle::Indent   ? 1
                             : options.style == BookStyle::Spaced ? 2
                                                                  : 0);
    m_titlePage->setChecked(options.titlePage);
    m_stylesheet->setPlaceholderText(QStringLiteral("None"));
    m_stylesheet->setText(QString::fromStdString(options.stylesheetPath));
    connect(m_chooseStylesheet, &QPushButton::clicked, this, [this] {
        const QString chosen =
            QFileDialog::getOpenFileName(this, QStringLiteral("Stylesheet"), m_stylesheet->text(),
                                         QStringLiteral("Stylesheets (*.css);;All files (*)"));
        if (!chosen.isEmpty()) m_stylesheet->setText(chosen);
    });
    auto* stylesheetRow = new QWidget(this);
    auto* stylesheetLayout = new QHBoxLayout(stylesheetRow);
    stylesheetLayout->setContentsMargins(0, 0, 0, 0);
    stylesheetLayout->addWidget(m_stylesheet, 1);
    stylesheetLayout->addWidget(m_chooseStylesheet);
    stylesheetRow->setFocusProxy(m_stylesheet);
    m_writingMode->addItems({QStringLiteral("Horizontal"),
                             QStringLiteral("Vertical (top to bottom, pages turned to the left)")});
    m_writingMode->setCurrentIndex(options.writingMode == WritingMode::Vertical ? 1 : 0);
    m_generatedCover->setChecked(options.generatedCover);
    m_font->setPlaceholderText(QStringLiteral("None: the reader's own fonts"));
    m_font->setText(QString::fromStdString(options.fontPath));
    m_font->setClearButtonEnabled(true);
    auto* fontRow = new QWidget(this);
    auto* fontLayout = new QHBoxLayout(fontRow);
    fontLayout->setContentsMargins(0, 0, 0, 0);
    fontLayout->addWidget(m_font, 1);
    fontLayout->addWidget(m_chooseFont);
    fontRow->setFocusProxy(m_font);
    m_oneBookPerFile->setChecked(options.oneBookPerFile);

    // Every letter underlined moves to its own control: no two share one, and none is taken by
    // OK or Cancel, whose texts are set here because some desktops' own texts underline O and C.
    auto* form = new QFormLayout;
    addRow(form, QStringLiteral("&Paragraphs:"), m_paragraphs, m_paragraphs);
    addRow(form, QStringLiteral("Text co&nventions:"), m_conventions, m_conventions);
    addRow(form, QStringLiteral("&Chapters:"), withField(m_chapters, m_pattern, this), m_chapters);
    addRow(form, QStringLiteral("C&ontents entries:"), m_tocLabels, m_tocLabels);
    addRow(form, QStringLiteral("&Language:"), withField(m_language, m_languageTag, this),
           m_language);
    addRow(form, QStringLiteral("Page si&ze cap:"), m_pageCap, m_pageCap);
    addRow(form, QStringLiteral("Text &encoding:"), withField(m_encoding, m_charset, this),
           m_encoding);
    addRow(form, QStringLiteral("EPUB &version:"), m_version, m_version);
    addRow(form, QStringLiteral("Paragraph st&yle:"), m_style, m_style);
    form->addRow(QString(), m_titlePage);
    addRow(form, QStringLiteral("Your s&tylesheet:"), stylesheetRow, m_stylesheet);
    addRow(form, QStringLiteral("&Writing mode:"), m_writingMode, m_writingMode);
    form->addRow(QStringLiteral("Cover:"), m_generatedCover);
    addRow(form, QStringLiteral("Body &font:"), fontRow, m_font);
    form->addRow(QStringLiteral("Books:"), m_oneBookPerFile);
    m_buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));

    layOutFormDialog(this, form, m_problem, m_buttons);
    for (QComboBox* box : {m_chapters, m_language, m_encoding, m_version, m_writingMode})
        connect(box, &QComboBox::currentIndexChanged, this, [this] { updateState(); });
    // A collection's font is picked by typing "#N" after the chosen file's name.
    connect(m_chooseFont, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getOpenFileName(
            this, QStringLiteral("Body font"), m_font->text(),
            QStringLiteral(
                "Fonts (*.ttf *.otf *.ttc *.otc *.TTF *.OTF *.TTC *.OTC);;All files (*)"));
        if (!chosen.isEmpty()) m_font->setText(chosen);
    });
    for (QLineEdit* edit : {m_pattern, m_languageTag, m_charset, m_stylesheet, m_font})
        connect(edit, &QLineEdit::textChanged, this, [this] { updateState(); });
    updateState();
}

BookOptions BookOptionsDialog::options() const {
    BookOptions options;
    readChoices(options);
    return options;
}

ChoiceProblem BookOptionsDialog::readChoices(BookOptions& options) const {
    options.paragraphs = m_paragraphs->currentIndex() == 1   ? ParagraphMode::Blocks
                         : m_paragraphs->currentIndex() == 2 ? ParagraphMode::Auto
                                                             : ParagraphMode::Lines;
    options.conventions = m_conventions->currentIndex() == 1;
    options.tocLabels = m_tocLabels->currentIndex() == 1   ? TocLabels::File
                        : m_tocLabels->currentIndex() == 2 ? TocLabels::FirstLine
                                                           : TocLabels::Page;
    options.maxPageBytes = static_cast<std::size_t>(m_pageCap->value()) * 1024;
    options.epubVersion = m_version->currentIndex() == 1 ? 3 : 2;
    options.style = m_style->currentIndex() == 1   ? BookStyle::Indent
                    : m_style->currentIndex() == 2 ? BookStyle::Spaced
                                                   : BookStyle::Plain;
    options.titlePage = m_titlePage->isChecked();
    options.stylesheetPath = m_stylesheet->text().trimmed().toStdString();
    if (m_writingMode->currentIndex() == 1) options.writingMode = WritingMode::Vertical;
    options.generatedCover = m_generatedCover->isChecked();
    options.fontPath = m_font->text().toStdString();
    options.oneBookPerFile = m_oneBookPerFile->isChecked();

    // The pattern field holds a pattern, whatever it says; the tag and the charset are words
    // read as the command line reads them.
    BookProject project;
    if (m_chapters->currentIndex() == 1) project.chapterMode = ChapterMode::Auto;
    if (m_chapters->currentIndex() == 2) {
        project.chapterMode = ChapterMode::Pattern;
        project.chapterPattern = m_pattern->text().toStdString();
    }
    ChoiceWords words;
    if (m_language->currentIndex() == 1) project.language = "auto";
    if (m_language->currentIndex() == 2)
        words[BookChoice::Language] = m_languageTag->text().trimmed().toStdString();
    if (m_encoding->currentIndex() == 1)
        words[BookChoice::Encoding] = m_charset->text().trimmed().toStdString();
    const ChoiceProblem problem = readChoiceWords(words, project);
    options.chapterMode = project.chapterMode;
    options.chapterPattern = project.chapterPattern;
    options.language = project.language;
    options.charset = project.charset;
    return problem;
}

QString BookOptionsDialog::problem() const {
    BookOptions chosen;
    std::string problem;
    if (const ChoiceProblem choice = readChoices(chosen))
        problem = std::string(choiceLabel(choice.choice)) + ": " + choice.text;
    if (problem.empty() && chosen.chapterMode == ChapterMode::Pattern)
        problem = chapterPatternStorageProblem(chosen.chapterPattern);
    if (problem.empty() && !chosen.stylesheetPath.empty())
        problem = stylesheetProblem(chosen.stylesheetPath);
    // EPUB 2 has no way to declare vertical pages: the book would come out horizontal.
    if (problem.empty() && chosen.writingMode == WritingMode::Vertical && chosen.epubVersion != 3)
        problem = "Vertical pages need EPUB 3; EPUB 2 cannot declare them.";
    if (problem.empty()) problem = fontPathProblem(chosen.fontPath);
    return QString::fromStdString(problem);
}

void BookOptionsDialog::updateState() {
    m_pattern->setEnabled(m_chapters->currentIndex() == 2);
    m_languageTag->setEnabled(m_language->currentIndex() == 2);
    m_charset->setEnabled(m_encoding->currentIndex() == 1);
    const QString why = problem();
    m_problem->setText(why);
    m_problem->setVisible(!why.isEmpty());
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(why.isEmpty());
}

}  // namespace qb
