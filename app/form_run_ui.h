#pragma once
// The run's questions and reports, shown by the window's boxes, and its progress, shown in the
// footer. Used on the GUI thread only; the worker reaches it through a RunBridge.

#include <QString>

#include <cstdint>
#include <string>

#include "convert/conversion_run.h"

namespace qb {

class TForm1;
class WindowUi;

class FormRunUi : public RunUi {
  public:
    explicit FormRunUi(TForm1& form) : m_form(form) {}

    // A note or an error ends the run: the footer stops telling about it before the box opens.
    void showNote(const std::string& text) override;
    // The box shows the text alone, as it always has; the archive's name is in the window.
    bool askOverwrite(const std::string& text, const std::string& archive) override;
    void showError(const std::string& text) override;
    // The success box waits for the folder: when no file browser can be started to show it,
    // the box says so.
    void showSuccess(const std::string& text) override;
    void openFolder(const std::string& folder) override;
    void showWarning(const std::string& caption, const std::string& text) override;
    void pageWritten(const PageDone& page) override;
    void packingStarted() override;
    void packingProgress(std::uint64_t done, std::uint64_t total) override;

    // A success box still waiting when the run ended without asking for the folder.
    void flush();

  private:
    WindowUi& ui();

    TForm1& m_form;
    QString m_pendingSuccess;
};

}  // namespace qb
