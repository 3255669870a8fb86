#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace korvex {

// The kinds of the message dialog; the caption and icon follow the kind.
enum class DialogKind { Warning, Error, Information, Confirmation, Custom };

// Buttons of the message dialog. The values are flags so a caller can name
// any set; the dialog shows them in its own fixed order.
enum DialogButton : unsigned {
    BtnYes = 1u << 0,
    BtnNo = 1u << 1,
    BtnOK = 1u << 2,
    BtnCancel = 1u << 3,
    BtnAbort = 1u << 4,
    BtnRetry = 1u << 5,
    BtnIgnore = 1u << 6,
    BtnAll = 1u << 7,
    BtnNoToAll = 1u << 8,
    BtnYesToAll = 1u << 9,
    BtnHelp = 1u << 10,
    BtnClose = 1u << 11,
};
using DialogButtons = unsigned;

// What a dialog returns. None: closed without a button that has a result.
enum class DialogResult {
    None,
    Yes,
    No,
    OK,
    Cancel,
    Abort,
    Retry,
    Ignore,
    All,
    NoToAll,
    YesToAll,
    Close
};

enum class SystemIcon { None, Information, Warning, Error, Question };

// The platform's plain message box, with every setting the caller fixes.
struct SystemBoxRequest {
    QString caption;
    QString text;
    DialogButtons buttons = BtnOK;  // the system's own button texts
    SystemIcon icon = SystemIcon::None;
    DialogButton defaultButton = BtnOK;
    bool withOwner = true;  // false: no owner window, the main window stays enabled
    bool topmost = false;
};

struct FileFilter {
    QString description;
    QString pattern;  // for example "*.zkd"
};

struct FileDialogRequest {
    QString title;
    QList<FileFilter> filters;
    int filterIndex = 0;       // the filter selected when the dialog opens
    QString defaultExtension;  // added to a name typed without one, without the dot
    QString initialFolder;
    QString fileName;              // the name proposed when the dialog opens
    bool overwritePrompt = false;  // save: ask before replacing a file
    bool fileMustExist = false;    // open: only existing files may be chosen
};

// The seam between the windows and the outside world. Windows receive one
// Platform at construction and never reach dialogs, sounds, the shell,
// processes or the clock in any other way, so tests can answer every one.
class Platform {
  public:
    virtual ~Platform() = default;

    virtual DialogResult messageDialog(const QString& text, DialogKind kind,
                                       DialogButtons buttons) = 0;
    virtual DialogResult systemMessageBox(const SystemBoxRequest& request) = 0;
    // The report of an error that no command caught.
    virtual void standardErrorBox(const QString& message) = 0;

    // Empty when the operator cancels.
    virtual std::optional<QString> openFileDialog(const FileDialogRequest& request) = 0;
    virtual std::optional<QString> saveFileDialog(const FileDialogRequest& request) = 0;
    virtual std::optional<QString> pickFolder(const QString& startFolder) = 0;

    // Plays a clip of the resource system asynchronously; cuts off the one
    // still playing; silent without an audio device.
    virtual void playSound(const QString& resourcePath) = 0;
    virtual bool shellOpen(const QString& target) = 0;
    virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;
    // Starts a program through the shell's "open" verb in a normal window,
    // with its parameter string passed as it stands; where the shell has no
    // such verb, the string is the program's one argument.
    virtual bool shellStart(const QString& program, const QString& parameters) = 0;
    // Ends the program once the current event handling has returned to the
    // main event loop; no window is closed for it.
    virtual void quitProgram() = 0;

    // Empty when the system cannot tell.
    virtual QString computerName() = 0;
    // The folder of the running executable, ending in a path separator.
    virtual QString programFolder() = 0;
    virtual QDateTime now() = 0;
    // Lets the window repaint before a long blocking call.
    virtual void processPendingEvents() = 0;
};

}  // namespace korvex
