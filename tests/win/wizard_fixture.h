// Common ground of the wizard tests: a scratch tree on drive C: that goes
// with its contents, and the forms of the wizard created for real.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "shell_fixture.h"
#include "uninstall_log.h"
#include "wizard/change_dir.h"
#include "wizard/choose_dest.h"
#include "wizard/exit_setup.h"
#include "wizard/select_program.h"
#include "wizard/setup_complete.h"
#include "wizard/start_copy.h"

// A folder of its own under the temporary folder, removed with everything
// in it (attributes cleared first).
class ScratchTree {
public:
    ScratchTree() {
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        std::string base = std::string(tmp) + "wizard-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(++Counter());
        path_ = base;
        Remove();
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~ScratchTree() { Remove(); }
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& rest) const { return path_ + "\\" + rest; }
    // Makes a directory (with its parents) and gives it `attributes`.
    std::string Dir(const std::string& rest, DWORD attributes = 0) const {
        const std::string p = *this / rest;
        std::filesystem::create_directories(p);
        if (attributes) SetFileAttributesA(p.c_str(), attributes);
        return p;
    }

private:
    static int& Counter() {
        static int n = 0;
        return n;
    }
    void Remove() const {
        std::error_code ec;
        if (!std::filesystem::exists(path_, ec)) return;
        for (auto& e : std::filesystem::recursive_directory_iterator(path_, ec))
            SetFileAttributesA(e.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
        std::filesystem::remove_all(path_, ec);
    }
    std::string path_;
};

inline bool DirExists(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

inline std::string CurrentDirectory() {
    char buf[MAX_PATH + 1] = "";
    GetCurrentDirectoryA(sizeof buf, buf);
    return buf;
}

// The paths of a log, head first.
inline std::vector<std::string> LoggedPaths(const UninstallLog& log) {
    std::vector<std::string> paths;
    for (const UninstallRecord* r = log.Head.get(); r; r = r->Next.get()) paths.push_back(r->Path());
    return paths;
}

struct RecordedDialog {
    std::string Text;
    int Type;
    unsigned Buttons;
};

// The main form and every form of the wizard, created as at start-up, with
// message dialogs answered from a queue (mrOk when it is empty).
class WizardTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        Application.OnMessageDialog = [this](const std::string& text, int type, unsigned buttons) {
            Dialogs.push_back({text, type, buttons});
            if (Answers.empty()) return static_cast<int>(mrOk);
            const int answer = Answers.front();
            Answers.erase(Answers.begin());
            return answer;
        };
        Application.OnMessageBox = [this](const std::string& text, const std::string& caption, UINT flags) {
            Boxes.push_back({text, caption, flags, false});
            if (BoxAnswers.empty()) return IDCANCEL;
            const int answer = BoxAnswers.front();
            BoxAnswers.erase(BoxAnswers.begin());
            return answer;
        };
        MakeForm(main_, Main);
        MakeForm(exitSetup_, ExitSetup);
        MakeForm(changeDir_, ChangeDir);
        MakeForm(chooseDest_, ChooseDest);
        MakeForm(selectProgram_, SelectProgram);
        MakeForm(startCopy_, StartCopy);
        MakeForm(setupComplete_, SetupComplete);
        savedDir_ = CurrentDirectory();
    }
    void TearDown() override {
        SetCurrentDirectoryA(savedDir_.c_str());
        for (TForm* f :
             std::initializer_list<TForm*>{setupComplete_.get(), startCopy_.get(), selectProgram_.get(),
                                           chooseDest_.get(), changeDir_.get(), exitSetup_.get(), main_.get()})
            f->Destroy();
        Main = nullptr;
        ExitSetup = nullptr;
        ChangeDir = nullptr;
        ChooseDest = nullptr;
        SelectProgram = nullptr;
        StartCopy = nullptr;
        SetupComplete = nullptr;
        ShellTest::TearDown();
    }
    // Queues a press of `button` of a modal form, taken up once it runs.
    static void PostPress(TForm& form, TButton& button) {
        PostMessageA(form.Handle(), WM_COMMAND, MAKEWPARAM(button.Id(), BN_CLICKED), 0);
    }

    std::vector<RecordedDialog> Dialogs;
    std::vector<int> Answers;
    std::vector<int> BoxAnswers;
    std::unique_ptr<TMain> main_;
    std::unique_ptr<TExitSetup> exitSetup_;
    std::unique_ptr<TChangeDir> changeDir_;
    std::unique_ptr<TChooseDest> chooseDest_;
    std::unique_ptr<TSelectProgram> selectProgram_;
    std::unique_ptr<TStartCopy> startCopy_;
    std::unique_ptr<TSetupComplete> setupComplete_;
    std::string savedDir_;
};
