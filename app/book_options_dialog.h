#pragma once
// The book-options dialog: how paragraphs, chapters and contents entries are made, the book's
// language, the page size cap, the text encoding, the EPUB version, and the book's look: the
// paragraph style, the title page, the user's own stylesheet, the writing mode, a drawn cover
// and the body font; and whether Convert makes one book per listed text.

#include <QDialog>

#include "app/book_options.h"
#include "convert/book_choices.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace qb {

class BookOptionsDialog : public QDialog {
    Q_OBJECT

  public:
    BookOptionsDialog(const BookOptions& options, QWidget* parent = nullptr);

    // The choices as they stand; meaningful once problem() is empty.
    BookOptions options() const;
    // Why OK cannot be pressed now; empty when it can.
    QString problem() const;

    QComboBox* paragraphsBox() const { return m_paragraphs; }
    QComboBox* chaptersBox() const { return m_chapters; }
    QLineEdit* patternEdit() const { return m_pattern; }
    QComboBox* tocLabelsBox() const { return m_tocLabels; }
    QComboBox* languageBox() const { return m_language; }
    QLineEdit* languageEdit() const { return m_languageTag; }
    QSpinBox* pageCapBox() const { return m_pageCap; }
    QComboBox* encodingBox() const { return m_encoding; }
    QLineEdit* charsetEdit() const { return m_charset; }
    QComboBox* versionBox() const { return m_version; }
    QComboBox* styleBox() const { return m_style; }
    QCheckBox* titlePageBox() const { return m_titlePage; }
    QLineEdit* stylesheetEdit() const { return m_stylesheet; }
    QPushButton* stylesheetButton() const { return m_chooseStylesheet; }
    QComboBox* writingModeBox() const { return m_writingMode; }
    QCheckBox* generatedCoverBox() const { return m_generatedCover; }
    QLineEdit* fontEdit() const { return m_font; }
    QPushButton* fontButton() const { return m_chooseFont; }
    QCheckBox* oneBookPerFileBox() const { return m_oneBookPerFile; }
    QDialogButtonBox* buttons() const { return m_buttons; }

  private:
    // Fills options from the controls; the problem the checks both programs share find in the
    // chapter pattern, the language tag or the charset, or none.
    ChoiceProblem readChoices(BookOptions& options) const;
    void updateState();

    QComboBox* m_paragraphs;
    QComboBox* m_conventions;
    QComboBox* m_chapters;
    QLineEdit* m_pattern;
    QComboBox* m_tocLabels;
    QComboBox* m_language;
    QLineEdit* m_languageTag;
    QSpinBox* m_pageCap;
    QComboBox* m_encoding;
    QLineEdit* m_charset;
    QComboBox* m_version;
    QComboBox* m_style;
    QCheckBox* m_titlePage;
    QLineEdit* m_stylesheet;
    QPushButton* m_chooseStylesheet;
    QComboBox* m_writingMode;
    QCheckBox* m_generatedCover;
    QLineEdit* m_font;
    QPushButton* m_chooseFont;
    QCheckBox* m_oneBookPerFile;
    QLabel* m_problem;
    QDialogButtonBox* m_buttons;
};

}  // namespace qb
