#include "app/book_details_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/dialog_layout.h"

#include "book/metadata_values.h"

namespace qb {

namespace {

std::string trimmed(const QString& text) {
    return text.trimmed().toStdString();
}

// Non-empty trimmed pieces of text split at separator, in order.
std::vector<std::string> pieces(const QString& text, QChar separator) {
    std::vector<std::string> result;
    for (const QString& piece : text.split(separator)) {
        if (!piece.trimmed().isEmpty()) result.push_back(trimmed(piece));
    }
    return result;
}

QString joined(const std::vector<std::string>& texts, const QString& separator) {
    QStringList list;
    for (const std::string& text : texts) list << QString::fromStdString(text);
    return list.join(separator);
}

// A field a few lines high: the form would otherwise give it most of the screen.
QPlainTextEdit* shortTextBox(QWidget* parent, int lines) {
    auto* box = new QPlainTextEdit(parent);
    box->setTabChangesFocus(true);
    // Lines wrap at the field's width, so a sideways scroll bar would only take a line away.
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setFixedHeight(box->fontMetrics().lineSpacing() * lines + 12);
    return box;
}

}  // namespace

BookDetailsDialog::BookDetailsDialog(const BookDetails& details, QWidget* parent)
    : QDialog(parent),
      m_authors(shortTextBox(this, 3)),
      m_description(shortTextBox(this, 5)),
      m_subjects(new QLineEdit(this)),
      m_publisher(new QLineEdit(this)),
      m_date(new QLineEdit(this)),
      m_rights(new QLineEdit(this)),
      m_isbn(new QLineEdit(this)),
      m_series(new QLineEdit(this)),
      m_seriesIndex(new QLineEdit(this)),
      m_titleSort(new QLineEdit(this)),
      m_authorSort(new QLineEdit(this)),
      m_problem(new QLabel(this)),
      m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setObjectName(QStringLiteral("BookDetailsDialog"));
    setWindowTitle(QStringLiteral("Book details"));

    // Names may hold commas ("Tolkien, J. R. R."), so authors go one a line; subjects are
    // words and short phrases, typed as a list the way library catalogues show them.
    m_authors->setPlaceholderText(QStringLiteral("One a line; the window's author comes first"));
    m_subjects->setPlaceholderText(QStringLiteral("Separated by commas"));
    m_date->setPlaceholderText(QStringLiteral("1897, 1897-05 or 1897-05-26"));
    m_rights->setPlaceholderText(QStringLiteral("All rights reserved by the author."));
    m_isbn->setPlaceholderText(QStringLiteral("ISBN-10 or ISBN-13"));
    m_seriesIndex->setPlaceholderText(QStringLiteral("3 or 2.5"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("More &authors:"), m_authors);
    form->addRow(QStringLiteral("&Description:"), m_description);
    form->addRow(QStringLiteral("S&ubjects:"), m_subjects);
    form->addRow(QStringLiteral("&Publisher:"), m_publisher);
    form->addRow(QStringLiteral("Publication da&te:"), m_date);
    form->addRow(QStringLiteral("&Rights:"), m_rights);
    form->addRow(QStringLiteral("&ISBN:"), m_isbn);
    form->addRow(QStringLiteral("&Series:"), m_series);
    form->addRow(QStringLiteral("&Number in the series:"), m_seriesIndex);
    form->addRow(QStringLiteral("Title s&orted as:"), m_titleSort);
    form->addRow(QStringLiteral("Aut&hor sorted as:"), m_authorSort);

    layOutFormDialog(this, form, m_problem, m_buttons);

    m_authors->setPlainText(joined(details.otherAuthors, QStringLiteral("\n")));
    m_description->setPlainText(QString::fromStdString(details.description));
    m_subjects->setText(joined(details.subjects, QStringLiteral(", ")));
    m_publisher->setText(QString::fromStdString(details.publisher));
    m_date->setText(QString::fromStdString(details.date));
    m_rights->setText(QString::fromStdString(details.rights));
    m_isbn->setText(QString::fromStdString(details.isbn));
    m_series->setText(QString::fromStdString(details.series));
    m_seriesIndex->setText(QString::fromStdString(details.seriesIndex));
    m_titleSort->setText(QString::fromStdString(details.titleSort));
    m_authorSort->setText(QString::fromStdString(details.authorSort));

    for (QLineEdit* edit : {m_date, m_isbn, m_series, m_seriesIndex})
        connect(edit, &QLineEdit::textChanged, this, [this] { updateState(); });
    updateState();
}

BookDetails BookDetailsDialog::details() const {
    BookDetails details;
    details.otherAuthors = pieces(m_authors->toPlainText(), u'\n');
    // The description keeps its paragraphs; only blank lines around it go.
    details.description = trimmed(m_description->toPlainText());
    details.subjects = pieces(m_subjects->text(), u',');
    details.publisher = trimmed(m_publisher->text());
    details.date = trimmed(m_date->text());
    details.rights = trimmed(m_rights->text());
    // Typed as printed ("978-0-14-143951-8"), kept as the command line keeps it; a bad one
    // stays as typed so that the check names what the user wrote.
    details.isbn = trimmed(m_isbn->text());
    if (const std::optional<std::string> isbn = normalizedIsbn(details.isbn)) details.isbn = *isbn;
    details.series = trimmed(m_series->text());
    details.seriesIndex = trimmed(m_seriesIndex->text());
    details.titleSort = trimmed(m_titleSort->text());
    details.authorSort = trimmed(m_authorSort->text());
    return details;
}

QString BookDetailsDialog::problem() const {
    const BookDetails chosen = details();
    std::string problem = detailsProblem(chosen);
    // A number with no series would be dropped from the book without a word.
    if (problem.empty() && !chosen.seriesIndex.empty() && chosen.series.empty())
        problem = "The number in the series \"" + chosen.seriesIndex + "\" has no series.";
    return QString::fromStdString(problem);
}

void BookDetailsDialog::updateState() {
    const QString why = problem();
    m_problem->setText(why);
    m_problem->setVisible(!why.isEmpty());
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(why.isEmpty());
}

}  // namespace qb
