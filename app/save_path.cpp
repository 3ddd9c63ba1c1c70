#include "app/save_path.h"

#include <QDir>
#include <QFile>

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace qb {

SavePath resolveSavePath(const QString& typed, const QString& home,
                         const UserHomeLookup& userHome) {
    if (typed.isEmpty()) return {};
    QString path = typed;
    if (typed.startsWith(u'~')) {
        const qsizetype slash = typed.indexOf(u'/');
        const QString user = typed.mid(1, slash < 0 ? -1 : slash - 1);
        const QString rest = slash < 0 ? QString() : typed.mid(slash);
        const QString base = user.isEmpty() ? home : userHome(user);
        if (base.isEmpty()) {
            return {QString(),
                    QStringLiteral("There is no user named \"%1\", so \"%2\" names no folder. "
                                   "Please choose the saving path again.")
                        .arg(user, typed)};
        }
        path = base + rest;
    } else if (!QDir::isAbsolutePath(typed)) {
        path = home + u'/' + typed;
    }
    return {QDir::cleanPath(path), QString()};
}

SavePath resolveSavePath(const QString& typed) {
    return resolveSavePath(typed, QDir::homePath(), [](const QString& user) {
        const QByteArray name = QFile::encodeName(user);
        long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buffer(size > 0 ? std::size_t(size) : 16384);
        passwd entry{};
        passwd* found = nullptr;
        if (::getpwnam_r(name.constData(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
            !found || !found->pw_dir)
            return QString();
        return QFile::decodeName(found->pw_dir);
    });
}

}  // namespace qb
