#include "ConvertedSave.h"

#include <dwg/Reader.h>
#include <platform/Files.h>

#include <QApplication>
#include <QStringList>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "ui/Pump.h"

namespace fs = std::filesystem;

namespace browser {
namespace {

// A block's drawing larger than this is not converted.
constexpr std::uint64_t kMaxDrawingSize = 256ull << 20;
constexpr auto kPumpInterval = std::chrono::milliseconds(20);

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The drawing read and converted on a worker (the user's folder may be on a
// slow disk); the windows are pumped until it is done.
convert::ExportResult convertWhilePumping(std::function<std::vector<std::uint8_t>()> read,
                                          const convert::ExportChoice& choice) {
    std::packaged_task<convert::ExportResult()> task(
        [read = std::move(read), choice] { return convert::exportDrawing(read(), choice); });
    std::future<convert::ExportResult> done = task.get_future();
    std::thread worker(std::move(task));
    QApplication::setOverrideCursor(Qt::BusyCursor);
    while (done.wait_for(kPumpInterval) != std::future_status::ready) ui::pump();
    worker.join();
    QApplication::restoreOverrideCursor();
    return done.get();
}

QString doneMessage(const convert::ExportResult& result, const convert::ExportChoice& choice) {
    QStringList lines{QStringLiteral("Procedimento concluído.")};
    const std::vector<std::string> said = convert::exportMessages(result, choice);
    if (!said.empty()) {
        lines << QString();
        for (const std::string& line : said) lines << fromUtf8(line);
    }
    return lines.join(QLatin1Char('\r'));
}

}  // namespace

ConvertedSave saveConvertedBlock(const library::Block& block, const fs::path& target,
                                 const convert::ExportChoice& choice) {
    try {
        const convert::ExportResult result = convertWhilePumping(
            [block] { return library::readBlockDrawing(block, kMaxDrawingSize); }, choice);
        convert::writeWhole(target, result.bytes);
        return {true, doneMessage(result, choice)};
    } catch (const library::DrawingUnavailable& error) {
        return {false, QStringLiteral("Não foi possível abrir o desenho do bloco:\r") +
                           fromUtf8(error.what())};
    } catch (const convert::ExportError& error) {
        return {false, fromUtf8(error.what()) + QStringLiteral("\rNada foi gravado.")};
    }
}

fs::path convertForOthers(const fs::path& extracted, const convert::ExportChoice& choice,
                          QString* failure) {
    try {
        const convert::ExportResult result =
            convertWhilePumping([&extracted] { return dwg::readFileBytes(extracted); }, choice);
        fs::path handed = extracted;
        if (dwg::isDxf(choice.format)) handed.replace_extension(".dxf");
        convert::writeWhole(handed, result.bytes);
        std::error_code error;
        if (handed != extracted) platform::removeFile(extracted, error);
        return handed;
    } catch (const dwg::Error& error) {
        if (failure) *failure = fromUtf8(error.what());
    } catch (const convert::ExportError& error) {
        if (failure) *failure = fromUtf8(error.what());
    }
    return {};
}

}  // namespace browser
