#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <functional>

#include "platform/KorvexError.h"

#ifdef Q_OS_LINUX
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
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

// While it lives, the calling thread is held to the permission bits as any
// user is, also when the tests run as root: capabilities are per thread, so
// dropping the overriding ones from the effective set and raising them again
// afterwards leaves the rest of the process alone.
class AlsGewoneGebruiker {
  public:
    AlsGewoneGebruiker() {
#ifdef Q_OS_LINUX
        kop_.version = _LINUX_CAPABILITY_VERSION_3;
        if (syscall(SYS_capget, &kop_, oud_) != 0) return;
        __user_cap_data_struct nieuw[2] = {oud_[0], oud_[1]};
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            nieuw[cap / 32].effective &= ~(1u << (cap % 32));
        gezet_ = syscall(SYS_capset, &kop_, nieuw) == 0;
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
    __user_cap_header_struct kop_{};
    __user_cap_data_struct oud_[2]{};
    bool gezet_ = false;
#endif
};

}  // namespace korvex::test
