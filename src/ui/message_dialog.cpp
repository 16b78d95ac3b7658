#include "ui/message_dialog.h"

#include <algorithm>
#include <vector>

#include "run_log.h"
#include "ui/dpi.h"
#include "ui/form.h"

namespace {

constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 8;
// The label draws a line that starts with a space a little wider than
// the measure of the whole text gives: room for it.
constexpr int kTextSlack = 6;

// Lone carriage returns become CR LF, which every control breaks at.
std::string NormaliseBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) out += '\n';
    }
    return out;
}

// A word wider than `maxWidth` (a long path) is broken after the last "\"
// that fits, else after the last character that fits, so the box stays on
// the screen and every character of the message can be read.
std::string BreakLongWords(HDC dc, const std::string& text, int maxWidth) {
    std::string out;
    size_t lineStart = 0;  // in `out`
    for (size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '\n' || text[i] == ' ') {
            lineStart = out.size();
            continue;
        }
        SIZE extent;
        const std::string line = out.substr(lineStart);
        if (!GetTextExtentPoint32A(dc, line.c_str(), static_cast<int>(line.size()), &extent) || extent.cx <= maxWidth)
            continue;
        // Too wide: break before this character, after a "\" if there is one.
        size_t cut = out.rfind('\\', out.size() - 2);
        cut = (cut != std::string::npos && cut >= lineStart) ? cut + 1 : out.size() - 1;
        if (cut <= lineStart) continue;
        out.insert(cut, "\r\n");
        lineStart = cut + 2;
    }
    return out;
}

// The layout of one box, built before the form that uses it (a base class
// of the form, so it is complete when TForm's constructor reads it). Like
// every layout it is in pixels at 96 pixels per inch; the text is measured
// on the screen in the font the box will show it in, and its layout
// lengths are those that cover it once scaled.
struct MessageLayout {
    MessageLayout(const std::string& message, TMsgDlgType type, unsigned buttons) : text(NormaliseBreaks(message)) {
        FontHandle font(CreateFontA(Scaled(kDialogFontHeight), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS,
                                    kDialogFontName));
        RECT r = {0, 0, GetSystemMetrics(SM_CXSCREEN) / 2, 0};
        {
            WindowDC screen(nullptr);
            SelectedObject sel(screen.Get(), font.Get());
            text = BreakLongWords(screen.Get(), text, r.right);
            DrawTextA(screen.Get(), text.c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
        }
        const int textWidth = LayoutCovering(r.right);
        const int textLeft = kMargin + kIconSize + kMargin;
        const int textHeight = std::max<int>(LayoutCovering(r.bottom), 13);
        const int textTop = kMargin + std::max(0, (kIconSize - textHeight) / 2);

        struct ButtonSpec {
            unsigned bit;
            const char* text;
            int result;
        };
        static constexpr ButtonSpec kButtons[] = {
            {mbYes, "&Yes", mrYes}, {mbNo, "&No", mrNo}, {mbOK, "OK", mrOk}, {mbCancel, "Cancel", mrCancel}};
        if (buttons == 0) buttons = mbOK;
        std::vector<ButtonSpec> chosen;
        for (const ButtonSpec& b : kButtons) {
            if (buttons & b.bit) chosen.push_back(b);
        }
        const int count = static_cast<int>(chosen.size());
        const int rowWidth = count * kButtonWidth + (count - 1) * kButtonGap;
        const int width = std::max(textLeft + textWidth + kTextSlack + kMargin, rowWidth + 2 * kMargin);
        const int buttonTop = std::max(kMargin + kIconSize, textTop + textHeight) + kMargin;

        rows.reserve(1 + chosen.size());
        rows.push_back(ControlRow{ControlKind::Label, "Message", textLeft, textTop, textWidth + kTextSlack, textHeight,
                                  text.c_str(), cfWordWrap | cfNoPrefix});
        const bool hasEscape = (buttons & (mbNo | mbCancel)) != 0;
        int x = (width - rowWidth) / 2;
        for (int i = 0; i < count; ++i) {
            uint32_t flags = i == 0 ? static_cast<uint32_t>(cfDefault) : 0u;
            const bool escape = hasEscape
                                    ? (chosen[i].bit == mbCancel || (chosen[i].bit == mbNo && !(buttons & mbCancel)))
                                    : chosen[i].bit == mbOK;
            if (escape) flags |= cfCancel;
            rows.push_back(ControlRow{ControlKind::Button, chosen[i].text, x, buttonTop, kButtonWidth, kButtonHeight,
                                      chosen[i].text, flags, 0, chosen[i].result});
            x += kButtonWidth + kButtonGap;
        }
        layout = FormLayout{kMessageFormClass,
                            MessageDlgCaption(type),
                            width,
                            buttonTop + kButtonHeight + kMargin,
                            FormBorder::Dialog,
                            FormPosition::ScreenCenter,
                            kDialogFontName,
                            kDialogFontHeight,
                            clBtnFace,
                            rows.data(),
                            rows.size()};
        const char* id = nullptr;
        switch (type) {
            case mtWarning: id = IDI_WARNING; break;
            case mtError: id = IDI_ERROR; break;
            case mtInformation: id = IDI_INFORMATION; break;
            case mtConfirmation: id = IDI_QUESTION; break;
        }
        // The system's icon in the size it is drawn at, not a stretched one.
        if (id)
            icon = static_cast<HICON>(
                LoadImageA(nullptr, id, IMAGE_ICON, Scaled(kIconSize), Scaled(kIconSize), LR_SHARED));
    }

    std::string text;
    std::vector<ControlRow> rows;
    FormLayout layout{};
    HICON icon = nullptr;  // shared system icon: not destroyed
};

class TMessageForm : private MessageLayout, public TForm {
public:
    TMessageForm(const std::string& text, TMsgDlgType type, unsigned buttons)
        : MessageLayout(text, type, buttons), TForm(MessageLayout::layout) {}

    void FormPaint(HDC dc, const RECT& clip) override {
        (void)clip;
        if (icon)
            DrawIconEx(dc, Scaled(kMargin), Scaled(kMargin), icon, Scaled(kIconSize), Scaled(kIconSize), 0, nullptr,
                       DI_NORMAL);
    }
};

}  // namespace

const char* MessageDlgCaption(TMsgDlgType type) {
    switch (type) {
        case mtWarning: return "Warning";
        case mtError: return "Error";
        case mtInformation: return "Information";
        case mtConfirmation: return "Confirm";
    }
    return "";
}

int MessageDlg(const std::string& text, TMsgDlgType type, unsigned buttons) {
    ReportMessage(MessageDlgCaption(type), text);
    int result;
    if (Application.OnMessageDialog) {
        result = Application.OnMessageDialog(text, type, buttons);
    } else {
        TMessageForm form(text, type, buttons);
        form.Create();
        result = form.ShowModal();
        form.Destroy();
    }
    // A question's answer belongs in the log with it.
    if (buttons & mbNo) ReportMessage(std::string(), result == mrYes ? "Answered Yes" : "Answered No");
    return result;
}
