#include "wizard/start_copy.h"

#include <objbase.h>

#include <iterator>

#include "wizard/choose_dest.h"
#include "wizard/install_run.h"
#include "wizard/select_program.h"

TStartCopy* StartCopy = nullptr;

namespace {

const ControlRow kRows[] = {
    {ControlKind::Label, "Label1", kPageMargin, 12, kPageTextWidth, 52,
     "Setup has enough information to start copying the program files.  If you want to review or change any "
     "settings, click Back.  If you are satisifed with the settings, click next to begin copying files.",
     cfWordWrap},
    {ControlKind::Label, "Label2", kPageMargin, 72, kPageTextWidth, 13, "Current Settings:"},
    {ControlKind::Memo, "Memo1", kPageMargin, 88, kPageTextWidth, 144, "", cfReadOnly | cfButtonFace},
    {ControlKind::Button, "Button2", kPageBackLeft, kPageButtonTop, kPageButtonWidth, kPageButtonHeight, "< &Back"},
    {ControlKind::Button, "Button3", kPageNextLeft, kPageButtonTop, kPageButtonWidth, kPageButtonHeight, "&Next >",
     cfDefault},
    {ControlKind::Button, "Button4", kPageCancelLeft, kPageButtonTop, kPageButtonWidth, kPageButtonHeight, "Cancel",
     cfCancel},
};

const FormLayout kLayout = WizardPageLayout("TStartCopy", "Start Copying Files", kRows, std::size(kRows));

}  // namespace

std::vector<std::string> SummaryLines(const std::string& destDir, const std::string& programFolder) {
    const std::string indent(5, ' ');
    return {"Destination Directory", indent + destDir, "", "Program Folder", indent + programFolder};
}

TStartCopy::TStartCopy()
    : TWizardPage(kLayout),
      Label1(Control<TLabel>("Label1")),
      Label2(Control<TLabel>("Label2")),
      Memo1(Control<TMemo>("Memo1")),
      Button2(Control<TButton>("Button2")),
      Button3(Control<TButton>("Button3")),
      Button4(Control<TButton>("Button4")) {}

void TStartCopy::FormCreate() {
    com_.Start();
    Memo1.OnKeyPress = [this](char& key) { Memo1KeyPress(key); };
    Button2.OnClick = [this] { Button2Click(); };
    Button3.OnClick = [this] { Button3Click(); };
    Button4.OnClick = [this] { Button4Click(); };
}

void TStartCopy::FormDestroy() { com_.Reset(); }

void TStartCopy::FormShow() {
    TWizardPage::FormShow();
    // Exactly five lines, the last one without a line break after it.
    const std::vector<std::string> lines = SummaryLines(ChooseDest->DestDir, SelectProgram->Edit1.Text());
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) text += (i ? "\r\n" : "") + lines[i];
    Memo1.Clear();
    Memo1.SetText(text);
}

void TStartCopy::FormActivate() { Button3.SetFocus(); }

void TStartCopy::Button2Click() { GoBack(*SelectProgram); }

void TStartCopy::Button3Click() { RunInstall(); }
