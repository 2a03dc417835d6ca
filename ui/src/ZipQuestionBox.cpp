#include "ui/ZipQuestionBox.h"

#include <QPushButton>

#include "MessageDialog.h"

namespace ui {

ZipQuestionAnswer askZipQuestion(const QString& text, bool allowRetry) {
    detail::MessageDialog dialog(QStringLiteral("Confirmação"), text,
                                 QStyle::SP_MessageBoxQuestion);
    dialog.setObjectName(QStringLiteral("ZipQuestionBox"));

    QPushButton* abort = dialog.addButton(QStringLiteral("Abort"), modal_result::Abort);
    abort->setText(QStringLiteral("&Abortar"));
    if (allowRetry) {
        QPushButton* retry = dialog.addButton(QStringLiteral("Retry"), modal_result::Retry);
        retry->setText(QStringLiteral("&Repetir"));
        dialog.setDefaultButton(retry);
    }
    dialog.addButton(QStringLiteral("Ignore"), modal_result::Ignore)
        ->setText(QStringLiteral("&Ignorar"));

    // Leaving the question unanswered, by Esc or the close box, must not let
    // the extraction go on.
    dialog.setEscapeButton(abort);

    switch (dialog.run()) {
        case modal_result::Retry:
            return ZipQuestionAnswer::Retry;
        case modal_result::Ignore:
            return ZipQuestionAnswer::Ignore;
        default:
            return ZipQuestionAnswer::Abort;
    }
}

archive::ZipAnswer askZipQuestion(const archive::ZipQuestion& question) {
    switch (askZipQuestion(QString::fromStdString(question.text), question.retryOffered)) {
        case ZipQuestionAnswer::Retry:
            return archive::ZipAnswer::Retry;
        case ZipQuestionAnswer::Ignore:
            return archive::ZipAnswer::Ignore;
        case ZipQuestionAnswer::Abort:
            break;
    }
    return archive::ZipAnswer::Abort;
}

}  // namespace ui
