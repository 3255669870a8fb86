#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <functional>

#include "platform/KorvexError.h"

#include <cerrno>
#include <cstring>
#include <string>

#ifdef Q_OS_LINUX
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif
#ifdef _WIN32
#include <windows.h>
#endif

namespace korvex::test {

// The whole file, or "<missing>" when it cannot be read.
inline QByteArray Lees(const QString& pad) {
    QFile f(pad);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline void Schrijf(const QString& pad, const QByteArray& inhoud) {
    QFile f(pad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << pad.toStdString();
    ASSERT_EQ(f.write(inhoud), inhoud.size());
}

// The message of the KorvexError the action raises, or "<no error>".
inline QString FoutVan(const std::function<void()>& actie) {
    try {
        actie();
    } catch (const KorvexError& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

// Records the skip and leaves the test body, also from inside a helper or a
// lambda: gtest takes an AssertionException as a result already reported.
[[noreturn]] inline void SlaTestOver(const std::string& reden) {
    [&] { GTEST_SKIP() << reden; }();
    throw ::testing::AssertionException(::testing::TestPartResult(
        ::testing::TestPartResult::kSkip, __FILE__, __LINE__, reden.c_str()));
}

// The Windows build's tests run under Wine, which does less than Windows in
// a few places; the tests that meet one say so where they leave it out.
inline bool OnderWine() {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
}

// A named pipe at the path; Windows has none at a file path of one's own
// choosing, so there the test is skipped with that reason.
inline void MaakPijp(const QString& pad) {
#ifdef Q_OS_UNIX
    ASSERT_EQ(::mkfifo(QFile::encodeName(pad).constData(), 0600), 0) << std::strerror(errno);
#else
    SlaTestOver("Windows has no named pipe at a file path (" + pad.toStdString() + ")");
#endif
}

// While it lives, the calling thread is held to the permission bits as any
// user is, also when the tests run as root: capabilities are per thread, so
// dropping the overriding ones from the effective set and raising them again
// afterwards leaves the rest of the process alone. Where the system refuses
// the capability calls, the test ends here as skipped: what follows would
// run with the permission bits overridden and prove nothing.
class AlsGewoneGebruiker {
  public:
    AlsGewoneGebruiker() {
#ifdef Q_OS_LINUX
        kop_.version = _LINUX_CAPABILITY_VERSION_3;
        if (syscall(SYS_capget, &kop_, oud_) != 0) SlaOver("capget", errno);
        __user_cap_data_struct nieuw[2] = {oud_[0], oud_[1]};
        bool teLaten = false;
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
            teLaten = teLaten || (nieuw[cap / 32].effective & (1u << (cap % 32))) != 0;
            nieuw[cap / 32].effective &= ~(1u << (cap % 32));
        }
        if (!teLaten) return;  // an ordinary user already
        if (syscall(SYS_capset, &kop_, nieuw) != 0) SlaOver("capset", errno);
        gezet_ = true;
#else
        SlaTestOver("the permission bits are enforced here only with Linux capabilities");
#endif
    }
    ~AlsGewoneGebruiker() {
#ifdef Q_OS_LINUX
        if (gezet_) syscall(SYS_capset, &kop_, oud_);
#endif
    }
    AlsGewoneGebruiker(const AlsGewoneGebruiker&) = delete;
    AlsGewoneGebruiker& operator=(const AlsGewoneGebruiker&) = delete;

  private:
#ifdef Q_OS_LINUX
    [[noreturn]] static void SlaOver(const char* aanroep, int fout) {
        SlaTestOver(std::string(aanroep) + " refused (" + std::strerror(fout) +
                    "): the permission bits cannot be enforced on this thread");
    }

    __user_cap_header_struct kop_{};
    __user_cap_data_struct oud_[2]{};
    bool gezet_ = false;
#endif
};

}  // namespace korvex::test
