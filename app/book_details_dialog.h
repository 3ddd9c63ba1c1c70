#pragma once
// The book-details dialog: what a catalogue shows about a book beyond its title and first
// author (further authors, description, subjects, publisher, date, rights, ISBN, series, sort
// names). The window keeps these only while it is open: they belong to one book, not to every
// later one, so they are never written to the settings.

#include <QDialog>

#include "book/book_project.h"

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace qb {

class BookDetailsDialog : public QDialog {
    Q_OBJECT

  public:
    BookDetailsDialog(const BookDetails& details, QWidget* parent = nullptr);

    // The details as they stand, the ISBN without hyphens or blanks when it is a good one;
    // meaningful once problem() is empty.
    BookDetails details() const;
    // Why OK cannot be pressed now, as the run itself would say it; empty when it can.
    QString problem() const;

    QPlainTextEdit* authorsEdit() const { return m_authors; }
    QPlainTextEdit* descriptionEdit() const { return m_description; }
    QLineEdit* subjectsEdit() const { return m_subjects; }
    QLineEdit* publisherEdit() const { return m_publisher; }
    QLineEdit* dateEdit() const { return m_date; }
    QLineEdit* rightsEdit() const { return m_rights; }
    QLineEdit* isbnEdit() const { return m_isbn; }
    QLineEdit* seriesEdit() const { return m_series; }
    QLineEdit* seriesIndexEdit() const { return m_seriesIndex; }
    QLineEdit* titleSortEdit() const { return m_titleSort; }
    QLineEdit* authorSortEdit() const { return m_authorSort; }
    QLabel* problemLabel() const { return m_problem; }
    QDialogButtonBox* buttons() const { return m_buttons; }

  private:
    void updateState();

    QPlainTextEdit* m_authors;
    QPlainTextEdit* m_description;
    QLineEdit* m_subjects;
    QLineEdit* m_publisher;
    QLineEdit* m_date;
    QLineEdit* m_rights;
    QLineEdit* m_isbn;
    QLineEdit* m_series;
    QLineEdit* m_seriesIndex;
    QLineEdit* m_titleSort;
    QLineEdit* m_authorSort;
    QLabel* m_problem;
    QDialogButtonBox* m_buttons;
};

}  // namespace qb
