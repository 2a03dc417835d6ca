#include "ui/DisplayName.h"

#include <QStringDecoder>

namespace ui {

QString displayName(const std::filesystem::path& path) {
#ifdef _WIN32
    return QString::fromStdWString(path.native());
#else
    const std::string& bytes = path.native();
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(view);
    return utf8.hasError() ? QString::fromLatin1(view) : text;
#endif
}

}  // namespace ui
