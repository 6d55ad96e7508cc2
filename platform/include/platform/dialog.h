// A dialog built from a template: a table of controls placed in dialog
// units, which are converted to pixels with the dialog font's own metrics so
// that the layout follows the font and the screen's resolution.
#pragma once

#include "platform/wnd.h"

#include <QFont>
#include <QIcon>
#include <QObject>

#include <cstddef>
#include <memory>
#include <vector>

class QDialog;

enum class ControlKind {
    DefPushButton,
    PushButton,
    BlackFrame,
    ComboDropDown,  // drop-down list with an edit field
    GroupBox,
    CenteredText,
    StatusEdit,  // read-only, centred, scrolls horizontally, bordered
};

constexpr int IDC_STATIC = -1;

struct DialogControl {
    int id;
    ControlKind kind;
    const char* text;
    int x, y, cx, cy;  // dialog units
};

struct DialogTemplate {
    int id;
    const char* caption;
    int pointSize;
    int cx, cy;                     // dialog units
    const DialogControl* controls;  // in tab order
    std::size_t controlCount;
};

// Notification codes passed with a control's id to OnCommand.
constexpr UINT BN_CLICKED = 0;
constexpr UINT CBN_DROPDOWN = 7;
// This layer's own: Enter pressed in a combo box's edit field. The key then
// goes no further, so it does not press the dialog's default button.
constexpr UINT CBN_EDITRETURN = 0x1000;

// The dialog opens at its template's size, or smaller where the screen's
// available area is smaller, and can be resized and maximised; placing the
// controls at other sizes is the derived dialog's OnSize.
class CDialog : public CWnd {
public:
    explicit CDialog(const DialogTemplate& dialogTemplate, CWnd* parent = nullptr);
    ~CDialog() override;

    // Shows the dialog modally; returns the EndDialog result.
    INT_PTR DoModal();
    // Makes the dialog and shows it without waiting for it to close.
    BOOL CreateModeless();

    // The control with this id, or null.
    CWnd* GetDlgItem(int id) const;
    // The control made from the template's entry at index (ids of statics
    // repeat), or null.
    CWnd* GetTemplateControl(std::size_t index) const;
    template <class Control>
    Control* GetDlgItemAs(int id) const
    {
        return dynamic_cast<Control*>(GetDlgItem(id));
    }

    void EndDialog(int result);
    void SetIcon(const QIcon& icon, BOOL bigIcon);

    // Dialog units to pixels, as the layout does it.
    RECT MapDialogRect(const RECT& dialogUnits) const;

protected:
    virtual BOOL OnInitDialog();
    // BN_CLICKED from buttons, CBN_DROPDOWN and CBN_EDITRETURN from combo
    // boxes. The default routes IDOK and IDCANCEL to OnOK and OnCancel, and
    // ID_HELP (F1) to the application's OnHelp.
    virtual void OnCommand(UINT controlId, UINT notifyCode);
    virtual void OnOK();
    virtual void OnCancel();

private:
    void Build();
    void CreateDialogWidget();
    void ComputeBaseUnits();
    void SetUpWindow();
    void CreateControls();
    QWidget* CreateControl(const DialogControl& control);
    void PlaceControl(const DialogControl& control, QWidget* widget) const;
    void FitToScreen();

    const DialogTemplate& m_template;
    CWnd* m_parentWnd;
    QDialog* m_dialog = nullptr;
    QFont m_font;
    int m_baseUnitX = 0;
    int m_baseUnitY = 0;
    std::vector<std::unique_ptr<CWnd>> m_controls;
    // Context of the widget-destroyed connection; goes before the widget does.
    std::unique_ptr<QObject> m_connectionGuard;
};

// The font of a dialog made from the template, and a rectangle of its
// dialog units in pixels, without making the dialog (for a picture of a
// control at the dialog's designed size).
QFont DialogFont(const DialogTemplate& dialogTemplate);
RECT MapDialogRect(const DialogTemplate& dialogTemplate, const RECT& dialogUnits);

// A combo box control of a dialog.
class CComboBox : public CWnd {
public:
    int AddString(const QString& text);
    void ResetContent();
    int GetCount() const;
    int GetCurSel() const;  // -1 when nothing is selected
    int SetCurSel(int index);
    void SetItemToolTip(int index, const QString& toolTip);
    QString GetItemToolTip(int index) const;
    // Text typed into the edit field that is not the selected entry's text.
    QString GetTypedText() const;
};

constexpr DWORD CC_PREVENTFULLOPEN = 0x04;
constexpr DWORD CC_SOLIDCOLOR = 0x80;

class CColorDialog {
public:
    CColorDialog(COLORREF initial, DWORD flags, CWnd* parent);
    INT_PTR DoModal();
    COLORREF GetColor() const { return m_color; }

private:
    COLORREF m_color;
    DWORD m_flags;
    CWnd* m_parent;
};
