#include "preview/StatusLine.h"

#include <render/Build.h>

#include <QStringList>

namespace preview {
namespace {

QString text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace

QString statusLine(const render::BuildReport& report) {
    QStringList lines;
    if (report.simplified()) lines << text(render::kSimplifiedNotice);
    if (report.bodiesUndecoded > 0)
        lines << QString::fromStdString(render::bodiesUndecodedNotice(report.bodiesUndecoded));
    if (report.surfacesFailed > 0 && !report.surfaceErrors.empty())
        lines << text(render::kFacesLeftOutNotice) +
                     QString::fromStdString(report.surfaceErrors.front());
    return lines.join(QLatin1Char('\n'));
}

}  // namespace preview
