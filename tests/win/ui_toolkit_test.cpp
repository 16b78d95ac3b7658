// The GUI toolkit on real windows: the exception boundary, modal showing,
// keyboard interface, message dialog and gauge.
#include <windows.h>

#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include "errors.h"
#include "shell_fixture.h"
#include "ui/error_box.h"
#include "ui/form.h"
#include "ui/graphics.h"
#include "ui/message_dialog.h"

namespace {

const ControlRow kRows[] = {
    {ControlKind::Label, "Label1", 8, 8, 200, 13, "&Name:"},
    {ControlKind::Edit, "Edit1", 8, 24, 200, 21, "text"},
    {ControlKind::ListBox, "ListBox1", 8, 50, 200, 60, "", cfSorted},
    {ControlKind::CheckBox, "CheckBox1", 8, 112, 200, 17, "&Tick", cfChecked},
    {ControlKind::Button, "Button1", 8, 140, 75, 25, "&Go", cfDefault},
    {ControlKind::Button, "Button2", 90, 140, 75, 25, "Cancel", cfCancel, 0, mrCancel},
    {ControlKind::Gauge, "Gauge1", 8, 170, 200, 20, "", cfBold},
};

const FormLayout kLayout = {
    "TToolkitTestForm", "Toolkit",         240,       200,   FormBorder::Dialog, FormPosition::ScreenCenter,
    kDialogFontName,    kDialogFontHeight, clBtnFace, kRows, std::size(kRows)};

class TTestForm : public TForm {
public:
    TTestForm()
        : TForm(kLayout),
          Edit1(Control<TEdit>("Edit1")),
          ListBox1(Control<TListBox>("ListBox1")),
          CheckBox1(Control<TCheckBox>("CheckBox1")),
          Button1(Control<TButton>("Button1")),
          Button2(Control<TButton>("Button2")),
          Gauge1(Control<TGauge>("Gauge1")) {}
    TEdit& Edit1;
    TListBox& ListBox1;
    TCheckBox& CheckBox1;
    TButton& Button1;
    TButton& Button2;
    TGauge& Gauge1;
    int Shows = 0;
    void FormShow() override { ++Shows; }
};

class ToolkitTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        form_.reset(new TTestForm());
        form_->Create();
    }
    void TearDown() override {
        form_->Destroy();
        ShellTest::TearDown();
    }
    void PostClick(TForm& form, TButton& button) {
        PostMessageA(form.Handle(), WM_COMMAND, MAKEWPARAM(button.Id(), BN_CLICKED), 0);
    }
    std::unique_ptr<TTestForm> form_;
};

TEST_F(ToolkitTest, FormIsCreatedHiddenFromItsTable) {
    EXPECT_FALSE(form_->Visible());
    EXPECT_EQ(form_->Caption(), "Toolkit");
    EXPECT_EQ(form_->ClientWidth(), 240);
    EXPECT_EQ(form_->ClientHeight(), 200);
    char cls[64];
    GetClassNameA(form_->Handle(), cls, sizeof cls);
    EXPECT_STREQ(cls, "TToolkitTestForm");
    EXPECT_EQ(form_->Edit1.Text(), "text");
    EXPECT_TRUE(form_->CheckBox1.Checked());
    EXPECT_EQ(form_->DefaultButton(), &form_->Button1);
    EXPECT_EQ(form_->CancelButton(), &form_->Button2);
    EXPECT_TRUE(GetWindowLongA(form_->Button1.Handle(), GWL_STYLE) & BS_DEFPUSHBUTTON);
    EXPECT_EQ(GetWindowLongA(form_->Button2.Handle(), GWL_STYLE) & BS_DEFPUSHBUTTON, 0);
    EXPECT_EQ(form_->FindControl("Nothing"), nullptr);
    EXPECT_THROW(form_->Control<TButton>("Edit1"), Exception);  // wrong kind
    EXPECT_EQ(form_->Button1.Accelerator(), 'G');
    EXPECT_EQ(form_->Button2.Accelerator(), 0);
}

TEST_F(ToolkitTest, ExceptionOutOfAHandlerIsShownAndTheLoopGoesOn) {
    std::vector<std::string> shown;
    Application.OnException = [&](const std::exception& e) { shown.push_back(e.what()); };
    int clicks = 0;
    form_->Button1.OnClick = [&] {
        ++clicks;
        if (clicks == 1) throw ESetupError(SE_MAKEDIRECTORY);
        if (clicks == 2) throw std::runtime_error("other");
        if (clicks == 3) throw 42;
    };
    for (int i = 0; i < 4; ++i) PostClick(*form_, form_->Button1);
    Application.ProcessMessages();
    EXPECT_EQ(clicks, 4);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], "MakeDirectory failed");
    EXPECT_EQ(shown[1], "other");
    EXPECT_EQ(shown[2], "Unknown error");
}

TEST_F(ToolkitTest, DefaultExceptionHandlerShowsTheErrorBox) {
    form_->Button1.OnClick = [] { throw ESetupError(SE_CORRUPT); };
    PostClick(*form_, form_->Button1);
    Application.ProcessMessages();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "Setup Corrupt..");
    EXPECT_EQ(Boxes[0].Caption, "Setup");
}

TEST_F(ToolkitTest, CaughtExceptionsAreShownLikeThoseOfTheBoundary) {
    const struct {
        const char* name;
        void (*raise)();
        const char* text;
    } cases[] = {
        {"setup error", [] { throw ESetupError(SE_CORRUPT); }, "Setup Corrupt.."},
        {"failed allocation", [] { throw std::bad_alloc(); }, "Out of memory."},
        {"not an exception class", [] { throw 42; }, "Unknown error."},
    };
    for (const auto& c : cases) {
        Boxes.clear();
        try {
            c.raise();
        } catch (...) {
            ShowCurrentException();
        }
        form_->Button1.OnClick = c.raise;
        PostClick(*form_, form_->Button1);
        Application.ProcessMessages();
        ASSERT_EQ(Boxes.size(), 2u) << c.name;
        for (const RecordedBox& box : Boxes) {
            EXPECT_EQ(box.Text, c.text) << c.name;
            EXPECT_EQ(box.Caption, "Setup") << c.name;
            EXPECT_EQ(box.Flags, static_cast<UINT>(MB_ICONERROR | MB_OK)) << c.name;
        }
    }
}

TEST_F(ToolkitTest, IdleHandlerRunsWhenTheQueueIsEmptyAndItsExceptionsAreShown) {
    std::vector<std::string> shown;
    Application.OnException = [&](const std::exception& e) { shown.push_back(e.what()); };
    int idles = 0;
    Application.OnIdle = [&](bool& done) {
        ++idles;
        done = false;  // do not wait for a message
        throw Exception("idle");
    };
    Application.HandleMessage();
    EXPECT_EQ(idles, 1);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "idle");
}

TEST_F(ToolkitTest, ModalShowDisablesOthersAndReactivatesThePreviousWindow) {
    TTestForm other;
    other.Create();
    form_->Show();
    ASSERT_EQ(GetActiveWindow(), form_->Handle());
    bool formEnabledInside = true, otherEnabledInside = false;
    other.Button1.OnClick = [&] {
        formEnabledInside = IsWindowEnabled(form_->Handle()) != 0;
        otherEnabledInside = IsWindowEnabled(other.Handle()) != 0;
        other.ModalResult = mrYes;
    };
    PostClick(other, other.Button1);
    EXPECT_EQ(other.ShowModal(), mrYes);
    EXPECT_FALSE(formEnabledInside);
    EXPECT_TRUE(otherEnabledInside);
    EXPECT_TRUE(IsWindowEnabled(form_->Handle()));
    EXPECT_FALSE(other.Visible());
    EXPECT_EQ(GetActiveWindow(), form_->Handle());
    EXPECT_THROW(form_->ShowModal(), Exception);  // already visible
    form_->Hide();
    other.Destroy();
}

TEST_F(ToolkitTest, MessageBoxDisablesTheOtherWindowsMeanwhile) {
    form_->Show();
    Application.ShowMessageBox("text", "Setup", MB_OK);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_TRUE(Boxes[0].OthersDisabled);
    EXPECT_TRUE(IsWindowEnabled(form_->Handle()));
    EXPECT_EQ(GetActiveWindow(), form_->Handle());
    form_->Hide();
}

// Rows in an order other than their tab order; Memo1 and Edit1 share a
// tab order value, as do the two buttons.
const ControlRow kKeyRows[] = {
    {ControlKind::Button, "Default", 8, 150, 75, 25, "OK", cfDefault, 3},
    {ControlKind::Memo, "Memo1", 8, 8, 200, 40, "", 0, 1},
    {ControlKind::ComboBox, "Combo1", 8, 52, 200, 80, "", 0, 2},
    {ControlKind::Edit, "Edit1", 8, 90, 200, 21, "typed", 0, 1},
    {ControlKind::Button, "Cancel", 90, 150, 75, 25, "Cancel", cfCancel, 3},
};
const FormLayout kKeyLayout = {"TKeyTestForm",
                               "Keys",
                               240,
                               200,
                               FormBorder::Dialog,
                               FormPosition::ScreenCenter,
                               kDialogFontName,
                               kDialogFontHeight,
                               clBtnFace,
                               kKeyRows,
                               std::size(kKeyRows)};

class TKeyForm : public TForm {
public:
    TKeyForm() : TForm(kKeyLayout) {}
};

TEST_F(ToolkitTest, ControlsKeepTheKeysTheyWantAndTabFollowsTheTabOrder) {
    TKeyForm form;
    form.Create();
    form.Show();
    auto& combo = form.Control<TComboBox>("Combo1");
    combo.Add("one");
    combo.Add("two");
    std::string pressed;
    form.Control<TButton>("Default").OnClick = [&] { pressed += "default "; };
    form.Control<TButton>("Cancel").OnClick = [&] { pressed += "cancel "; };

    form.FindControl("Memo1")->SetFocus();
    const char* order[] = {"Edit1", "Combo1", "Default", "Cancel", "Memo1"};
    for (const char* name : order) {
        form.SelectNext(true);
        EXPECT_EQ(GetFocus(), form.FindControl(name)->Handle()) << name;
        if (lstrcmpA(name, "Edit1") == 0) {
            DWORD from = 1, to = 0;
            SendMessageA(GetFocus(), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
            EXPECT_EQ(from, 0u) << "tabbed into, the edit's whole text is selected";
            EXPECT_EQ(to, 5u);
        }
    }

    const struct {
        const char* name;
        const char* focus;
        WPARAM key;
        bool dropped;
        bool consumed;
        const char* pressed;
    } cases[] = {
        {"Enter in the memo starts a line", "Memo1", VK_RETURN, false, false, ""},
        {"Esc in the memo presses the cancel button", "Memo1", VK_ESCAPE, false, true, "cancel "},
        {"Enter on a closed combo box presses the default button", "Combo1", VK_RETURN, false, true, "default "},
        {"an open combo box keeps Enter", "Combo1", VK_RETURN, true, false, ""},
        {"an open combo box keeps Esc", "Combo1", VK_ESCAPE, true, false, ""},
        {"Enter on the cancel button presses it", "Cancel", VK_RETURN, false, true, "cancel "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        pressed.clear();
        TControl* focus = form.FindControl(c.focus);
        focus->SetFocus();
        if (c.dropped) {
            SendMessageA(focus->Handle(), CB_SHOWDROPDOWN, TRUE, 0);
            ASSERT_TRUE(combo.DroppedDown());
        }
        MSG key = {focus->Handle(), WM_KEYDOWN, c.key, 0, 0, {0, 0}};
        EXPECT_EQ(form.HandleDialogKey(key), c.consumed);
        EXPECT_EQ(pressed, c.pressed);
        if (c.dropped) SendMessageA(focus->Handle(), CB_SHOWDROPDOWN, FALSE, 0);
    }
    form.Hide();
    form.Destroy();
}

TEST_F(ToolkitTest, KeyboardReachesDefaultCancelAndAccelerators) {
    const struct {
        const char* name;
        UINT msg;
        WPARAM wp;
        const char* target;  // control the key is posted to; nullptr: the form
        int expected;
    } cases[] = {
        {"Enter in the edit presses the default button", WM_KEYDOWN, VK_RETURN, "Edit1", mrOk},
        {"Enter on a focused button presses that button", WM_KEYDOWN, VK_RETURN, "Button2", mrCancel},
        {"Esc presses the cancel button", WM_KEYDOWN, VK_ESCAPE, "Edit1", mrCancel},
        {"Alt+G presses the button", WM_SYSCHAR, 'g', nullptr, mrOk},
        {"IDCANCEL command presses the cancel button", WM_COMMAND, IDCANCEL, nullptr, mrCancel},
        {"IDOK command presses the default button", WM_COMMAND, IDOK, nullptr, mrOk},
    };
    form_->Button1.OnClick = [&] { form_->ModalResult = mrOk; };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HWND to = c.target ? form_->FindControl(c.target)->Handle() : form_->Handle();
        PostMessageA(to, c.msg, c.wp, 0);
        EXPECT_EQ(form_->ShowModal(), c.expected);
    }
}

TEST_F(ToolkitTest, TabMovesThroughTheTabOrderAndLabelAcceleratorFocusesItsControl) {
    form_->Show();
    form_->Edit1.SetFocus();
    const char* expected[] = {"ListBox1", "CheckBox1", "Button1", "Button2", "Edit1"};
    for (const char* name : expected) {
        form_->SelectNext(true);
        EXPECT_EQ(GetFocus(), form_->FindControl(name)->Handle()) << name;
    }
    form_->SelectNext(false);
    EXPECT_EQ(GetFocus(), form_->Button2.Handle());
    form_->Button1.SetEnabled(false);
    form_->SelectNext(false);  // the disabled button is skipped
    EXPECT_EQ(GetFocus(), form_->CheckBox1.Handle());
    MSG alt = {form_->Handle(), WM_SYSCHAR, 'n', 0, 0, {0, 0}};
    EXPECT_TRUE(form_->HandleDialogKey(alt));
    EXPECT_EQ(GetFocus(), form_->Edit1.Handle());
    MSG altT = {form_->Handle(), WM_SYSCHAR, 't', 0, 0, {0, 0}};
    EXPECT_TRUE(form_->HandleDialogKey(altT));
    EXPECT_FALSE(form_->CheckBox1.Checked());
    form_->Hide();
}

TEST_F(ToolkitTest, FocusedButtonIsDrawnAsTheDefaultAndTheDefaultReturnsAfterwards) {
    auto isDefault = [](TButton& b) { return (GetWindowLongA(b.Handle(), GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON; };
    form_->Show();
    form_->Button2.SetFocus();
    EXPECT_TRUE(isDefault(form_->Button2));
    EXPECT_FALSE(isDefault(form_->Button1));
    form_->Edit1.SetFocus();
    EXPECT_TRUE(isDefault(form_->Button1));
    EXPECT_FALSE(isDefault(form_->Button2));
    form_->Hide();
}

TEST_F(ToolkitTest, ListBoxKeepsItemsSortedAndReportsTheSelection) {
    for (const char* s : {"Zeta", "alpha", "Mid"}) form_->ListBox1.Add(s);
    ASSERT_EQ(form_->ListBox1.Count(), 3);
    EXPECT_EQ(form_->ListBox1.Item(0), "alpha");
    EXPECT_EQ(form_->ListBox1.Item(2), "Zeta");
    EXPECT_EQ(form_->ListBox1.ItemIndex(), -1);
    form_->ListBox1.SetItemIndex(1);
    EXPECT_EQ(form_->ListBox1.ItemIndex(), 1);
    form_->ListBox1.Clear();
    EXPECT_EQ(form_->ListBox1.Count(), 0);
}

TEST_F(ToolkitTest, CloseOfAModelessFormAsksAndHides) {
    struct TAsking : TTestForm {
        bool Allow = false;
        int Closed = 0;
        void FormCloseQuery(bool& canClose) override { canClose = Allow; }
        void FormClose(TCloseAction& action) override {
            (void)action;
            ++Closed;
        }
    } f;
    f.Create();
    f.Show();
    EXPECT_EQ(f.Shows, 1);
    SendMessageA(f.Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(f.Visible());
    EXPECT_EQ(f.Closed, 0);
    f.Allow = true;
    SendMessageA(f.Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(f.Visible());
    EXPECT_EQ(f.Closed, 1);
    EXPECT_FALSE(DrainQuit());  // not the main form: the program goes on
    f.Destroy();
}

// Answers the next message dialog with a key, from inside its modal loop.
struct DialogAnswer {
    WPARAM key;
    std::string caption;
    std::string buttons;
};
DialogAnswer* g_answer = nullptr;

void CALLBACK AnswerDialog(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dlg = FindWindowA(kMessageFormClass, nullptr);
    if (!dlg || !g_answer) return;
    KillTimer(nullptr, id);
    char buf[64];
    GetWindowTextA(dlg, buf, sizeof buf);
    g_answer->caption = buf;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        GetClassNameA(c, buf, sizeof buf);
        if (lstrcmpiA(buf, "Button") != 0) continue;
        GetWindowTextA(c, buf, sizeof buf);
        g_answer->buttons += std::string("[") + buf + "]";
    }
    PostMessageA(GetFocus() ? GetFocus() : dlg, WM_KEYDOWN, g_answer->key, 0);
}

TEST_F(ToolkitTest, MessageDialogAnswersByKey) {
    const struct {
        TMsgDlgType type;
        unsigned buttons;
        WPARAM key;
        const char* caption;
        const char* texts;
        int expected;
    } cases[] = {
        {mtConfirmation, mbYesNo, VK_RETURN, "Confirm", "[&Yes][&No]", mrYes},
        {mtConfirmation, mbYesNo, VK_ESCAPE, "Confirm", "[&Yes][&No]", mrNo},
        {mtWarning, mbYesNo, VK_ESCAPE, "Warning", "[&Yes][&No]", mrNo},
        {mtError, mbOK, VK_ESCAPE, "Error", "[OK]", mrOk},
        {mtError, mbOK, VK_RETURN, "Error", "[OK]", mrOk},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        DialogAnswer answer{c.key, "", ""};
        g_answer = &answer;
        SetTimer(nullptr, 0, 20, &AnswerDialog);
        EXPECT_EQ(MessageDlg("The directory:\r\r'C:\\X'\r\rdoes not exist.", c.type, c.buttons), c.expected);
        g_answer = nullptr;
        EXPECT_EQ(answer.caption, c.caption);
        EXPECT_EQ(answer.buttons, c.texts);
    }
}

// A gauge `width` pixels wide on a form of its own, no window made.
struct GaugeOnForm {
    explicit GaugeOnForm(int width)
        : row{ControlKind::Gauge, "Gauge1", 0, 0, width, 20, ""},
          layout{"TGaugeHost",      "",        10,      10, FormBorder::Dialog, FormPosition::Designed, kDialogFontName,
                 kDialogFontHeight, clBtnFace, nullptr, 0},
          host(layout),
          gauge(host, row, 1) {}
    ControlRow row;
    FormLayout layout;
    TForm host;
    TGauge gauge;
};

TEST(GaugeTest, PercentFollowsTheProgressWithinItsRange) {
    GaugeOnForm on(100);
    TGauge& gauge = on.gauge;
    gauge.MinValue = 0;
    gauge.MaxValue = 1000;
    const struct {
        int set, progress, percent;
    } cases[] = {{0, 0, 0}, {9, 9, 0}, {10, 10, 1}, {999, 999, 99}, {1000, 1000, 100}, {5000, 1000, 100}, {-5, 0, 0}};
    for (const auto& c : cases) {
        gauge.SetProgress(c.set);
        EXPECT_EQ(gauge.Progress(), c.progress) << c.set;
        EXPECT_EQ(gauge.PercentDone(), c.percent) << c.set;
    }
    gauge.MaxValue = 0;  // empty range: no division by zero
    EXPECT_EQ(gauge.PercentDone(), 0);
}

TEST(GaugeTest, RepaintsOnlyWhenItsPictureChanges) {
    GaugeOnForm on(102);
    TGauge& gauge = on.gauge;
    gauge.MaxValue = 1000;
    // Before its first drawing every change repaints.
    EXPECT_TRUE(gauge.SetProgress(1));
    HDC dc = GetDC(nullptr);
    gauge.Draw(dc, 102, 20);  // 100 pixels inside the border: one per 10 steps
    ReleaseDC(nullptr, dc);
    const struct {
        int set;
        bool repaint;
    } cases[] = {{1, false}, {5, false}, {9, false}, {10, true}, {15, false}, {20, true}, {1000, true}};
    for (const auto& c : cases) EXPECT_EQ(gauge.SetProgress(c.set), c.repaint) << c.set;
    EXPECT_EQ(gauge.Progress(), 1000);
}

TEST_F(ToolkitTest, GaugeFillsFromTheLeftInBlueOverWhite) {
    TGauge& g = form_->Gauge1;
    g.MaxValue = 1000;
    g.SetProgress(500);
    TBitmap bmp;
    bmp.SetSize(200, 20);
    g.Draw(bmp.Canvas(), 200, 20);
    EXPECT_EQ(GetPixel(bmp.Canvas(), 0, 0), RGB(0, 0, 0));          // border
    EXPECT_EQ(GetPixel(bmp.Canvas(), 3, 3), RGB(0, 0, 255));        // filled
    EXPECT_EQ(GetPixel(bmp.Canvas(), 196, 3), RGB(255, 255, 255));  // empty
}

}  // namespace
