#include "platform/QtPlatform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QLibrary>
#include <QMetaObject>
#include <QProcess>
#include <QPushButton>
#include <QSysInfo>
#include <QTimer>
#include <QUrl>

#include "platform/MessageDialog.h"

#ifdef Q_OS_WIN
// shellapi.h needs the types of windows.h first.
// clang-format off
#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>
// clang-format on

#include <QFile>
#endif

namespace korvex {

namespace {

QMessageBox::Icon iconOf(DialogKind kind) {
    switch (kind) {
        case DialogKind::Warning:
            return QMessageBox::Warning;
        case DialogKind::Error:
            return QMessageBox::Critical;
        case DialogKind::Information:
            return QMessageBox::Information;
        case DialogKind::Confirmation:
            return QMessageBox::Question;
        case DialogKind::Custom:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::Icon iconOf(SystemIcon icon) {
    switch (icon) {
        case SystemIcon::Information:
            return QMessageBox::Information;
        case SystemIcon::Warning:
            return QMessageBox::Warning;
        case SystemIcon::Error:
            return QMessageBox::Critical;
        case SystemIcon::Question:
            return QMessageBox::Question;
        case SystemIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// One role for every button: the button box then keeps the order in which
// they were added, instead of rearranging them by role for the desktop.
QMessageBox::ButtonRole roleOf(DialogButton) {
    return QMessageBox::ActionRole;
}

QMessageBox::StandardButton standardOf(DialogButton button) {
    switch (button) {
        case BtnYes:
            return QMessageBox::Yes;
        case BtnNo:
            return QMessageBox::No;
        case BtnOK:
            return QMessageBox::Ok;
        case BtnCancel:
            return QMessageBox::Cancel;
        case BtnAbort:
            return QMessageBox::Abort;
        case BtnRetry:
            return QMessageBox::Retry;
        case BtnIgnore:
            return QMessageBox::Ignore;
        case BtnAll:
            return QMessageBox::YesAll;
        case BtnNoToAll:
            return QMessageBox::NoToAll;
        case BtnYesToAll:
            return QMessageBox::YesToAll;
        case BtnHelp:
            return QMessageBox::Help;
        case BtnClose:
            return QMessageBox::Close;
    }
    return QMessageBox::NoButton;
}

// A box without owner blocks nothing, unless a modal window is open: then it
// must be modal over that window to take input at all.
bool modaal(const SystemBoxRequest& request) {
    return request.withOwner || QApplication::activeModalWidget() != nullptr;
}

QString filterText(const FileFilter& filter) {
    return filter.description + QStringLiteral(" (") + filter.pattern + u')';
}

std::optional<QString> runFileDialog(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first();
}

}  // namespace

#ifdef Q_OS_WIN
QtPlatform::Geluidsaanroep QtPlatform::speelGeluid = [](const wchar_t* geluid, unsigned vlaggen) {
    return int(sndPlaySoundW(geluid, vlaggen));
};
#endif

QtPlatform::QtPlatform() = default;

QtPlatform::~QtPlatform() {
#ifdef Q_OS_WIN
    // The system reads the clip from our memory while it plays.
    if (!clip_.isEmpty()) speelGeluid(nullptr, 0);
#endif
}

std::unique_ptr<QMessageBox> QtPlatform::buildMessageDialog(const QString& text, DialogKind kind,
                                                            DialogButtons buttons) {
    auto box = std::make_unique<QMessageBox>(iconOf(kind), MessageDialog::caption(kind), text,
                                             QMessageBox::NoButton, nullptr);
    box->setWindowModality(Qt::ApplicationModal);
    const auto preferred = MessageDialog::defaultButton(buttons);
    for (DialogButton button : MessageDialog::orderedButtons(buttons)) {
        QPushButton* pushButton = box->addButton(MessageDialog::buttonText(button), roleOf(button));
        pushButton->setProperty("korvexButton", static_cast<unsigned>(button));
        if (button == BtnHelp) {
            // Help opens help and leaves the box standing; there is no help file.
            QObject::disconnect(pushButton, &QAbstractButton::clicked, nullptr, nullptr);
        }
        if (preferred && *preferred == button) box->setDefaultButton(pushButton);
        // Escape answers as the close box would: with the first of these present.
        if (button == BtnCancel || (button == BtnNo && box->escapeButton() == nullptr) ||
            (button == BtnClose && box->escapeButton() == nullptr))
            box->setEscapeButton(pushButton);
    }
    return box;
}

DialogResult QtPlatform::messageDialog(const QString& text, DialogKind kind,
                                       DialogButtons buttons) {
    auto box = buildMessageDialog(text, kind, buttons);
    box->exec();
    QAbstractButton* clicked = box->clickedButton();
    if (clicked == nullptr) return DialogResult::None;
    return MessageDialog::resultOf(
        static_cast<DialogButton>(clicked->property("korvexButton").toUInt()));
}

std::unique_ptr<QMessageBox> QtPlatform::buildSystemMessageBox(const SystemBoxRequest& request) {
    QWidget* owner = request.withOwner ? QApplication::activeWindow() : nullptr;
    auto box = std::make_unique<QMessageBox>(iconOf(request.icon), request.caption, request.text,
                                             QMessageBox::NoButton, owner);
    for (DialogButton button : MessageDialog::orderedButtons(request.buttons))
        box->addButton(standardOf(button));
    box->setDefaultButton(standardOf(request.defaultButton));
    // Without an owner the box must not block the main window; but while a
    // modal window is open, a box that is not modal over it would itself be
    // blocked and could never be answered. The modality goes first: setting
    // it rebuilds the window flags.
    box->setWindowModality(modaal(request) ? Qt::ApplicationModal : Qt::NonModal);
    if (request.topmost) box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    return box;
}

DialogResult QtPlatform::systemMessageBox(const SystemBoxRequest& request) {
    auto box = buildSystemMessageBox(request);
    int pressed = QMessageBox::NoButton;
    if (box->windowModality() != Qt::NonModal) {
        pressed = box->exec();
    } else {
        // exec() would make the box modal; wait for it without blocking the windows.
        QEventLoop loop;
        QObject::connect(box.get(), &QDialog::finished, &loop, [&](int result) {
            pressed = result;
            loop.quit();
        });
        box->show();
        loop.exec();
    }
    for (DialogButton button : MessageDialog::orderedButtons(request.buttons))
        if (pressed == standardOf(button)) return MessageDialog::resultOf(button);
    return DialogResult::None;
}

void QtPlatform::standardErrorBox(const QString& message) {
    SystemBoxRequest request;
    request.caption = MessageDialog::applicationTitle();
    request.text = MessageDialog::standardErrorText(message);
    request.icon = SystemIcon::Error;
    systemMessageBox(request);
}

std::unique_ptr<QFileDialog> QtPlatform::buildFileDialog(const FileDialogRequest& request) {
    auto dialog = std::make_unique<QFileDialog>(QApplication::activeWindow(), request.title,
                                                request.initialFolder);
    QStringList filters;
    for (const auto& filter : request.filters) filters << filterText(filter);
    // The type entries show their texts alone; the patterns still apply.
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setNameFilters(filters);
    if (request.filterIndex >= 0 && request.filterIndex < filters.size())
        dialog->selectNameFilter(filters.at(request.filterIndex));
    dialog->setDefaultSuffix(request.defaultExtension);
    if (!request.fileName.isEmpty()) dialog->selectFile(request.fileName);
    return dialog;
}

std::optional<QString> QtPlatform::openFileDialog(const FileDialogRequest& request) {
    auto dialog = buildFileDialog(request);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    return runFileDialog(*dialog);
}

std::optional<QString> QtPlatform::saveFileDialog(const FileDialogRequest& request) {
    auto dialog = buildFileDialog(request);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    return runFileDialog(*dialog);
}

std::optional<QString> QtPlatform::pickFolder(const QString& startFolder) {
    const QString folder =
        QFileDialog::getExistingDirectory(QApplication::activeWindow(), QString(), startFolder);
    if (folder.isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(folder);
}

void QtPlatform::playSound(const QString& resourcePath) {
#ifdef Q_OS_WIN
    // The stored clip plays from memory, asynchronously; the one still
    // playing is stopped before its memory is given up.
    QFile bron(resourcePath);
    if (!bron.open(QIODevice::ReadOnly)) return;
    QByteArray clip = bron.readAll();
    if (!clip.startsWith("RIFF")) return;
    if (!clip_.isEmpty()) speelGeluid(nullptr, 0);
    clip_ = std::move(clip);
    speelGeluid(reinterpret_cast<const wchar_t*>(clip_.constData()),
                SND_MEMORY | SND_ASYNC | SND_NODEFAULT);
#else
    // The audio device is opened from the event loop, so that the caller (the
    // window being shown, a failing input test) never waits for it.
    QTimer::singleShot(0, &soundContext_, [this, resourcePath] {
        if (sound_ == nullptr && !soundUnavailable_) {
            // Stays loaded for the rest of the run: the player lives in it.
            QLibrary module(QCoreApplication::applicationDirPath() +
                            QStringLiteral("/korvex_geluid"));
            using Maak = QObject* (*)(QObject*);
            if (auto maak = reinterpret_cast<Maak>(module.resolve("korvexMaakGeluidsspeler")))
                sound_ = maak(&soundContext_);
            soundUnavailable_ = sound_ == nullptr;
        }
        if (sound_ == nullptr) return;  // no player: silent, like a missing device
        // A new clip cuts off the one still playing.
        QMetaObject::invokeMethod(sound_, "stop");
        sound_->setProperty("source", QUrl(QStringLiteral("qrc") + resourcePath));
        QMetaObject::invokeMethod(sound_, "play");
    });
#endif
}

bool QtPlatform::shellOpen(const QString& target) {
#ifdef Q_OS_WIN
    const std::wstring doel = target.toStdWString();
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", doel.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
#else
    return QDesktopServices::openUrl(QUrl::fromUserInput(target));
#endif
}

bool QtPlatform::startProgram(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

bool QtPlatform::shellStart(const QString& program, const QString& parameters) {
#ifdef Q_OS_WIN
    const std::wstring file = QDir::toNativeSeparators(program).toStdWString();
    const std::wstring params = parameters.toStdWString();
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", file.c_str(), params.c_str(), nullptr, SW_SHOWNORMAL));
    return result > 32;
#else
    return QProcess::startDetached(program, QStringList{parameters});
#endif
}

void QtPlatform::quitProgram() {
    // Every running loop is told to end, the modal ones included, so the
    // handlers return and the main loop stops.
    QCoreApplication::exit(0);
}

QString QtPlatform::computerName() {
#ifdef Q_OS_WIN
    wchar_t naam[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD lengte = DWORD(std::size(naam));
    if (!GetComputerNameW(naam, &lengte)) return {};
    return QString::fromWCharArray(naam, qsizetype(lengte));
#else
    return QSysInfo::machineHostName();
#endif
}

QString QtPlatform::programFolder() {
    QString folder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    if (!folder.endsWith(QDir::separator())) folder += QDir::separator();
    return folder;
}

QDateTime QtPlatform::now() {
    return QDateTime::currentDateTime();
}

void QtPlatform::processPendingEvents() {
    QCoreApplication::processEvents();
}

}  // namespace korvex
