// The filter box against a running clock: filters added, deleted and moved,
// parameter and display windows opened and closed, sliders dragged and
// boxes ticked (synchronous display among them), chains loaded, while a
// looped file plays into the null device. Run under ThreadSanitizer by
// `make tsan`.

#include "UiTestSupport.h"

#include "io/AudioOutputDevice.h"
#include "ui/DeviceWriterInfo.h"
#include "ui/FileReaderInfo.h"
#include "ui/FilterInfo.h"
#include "ui/FilterListInfo.h"
#include "ui/ParameterWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QSlider>
#include <fstream>
#include <random>

using namespace sonabel;
using namespace sonabel::test;

class FilterBoxStressTest : public QObject {
    Q_OBJECT
private slots:
    void filterBoxChangesWhileTheClockTicks() {
        ProgramUnderTest program;
        QVERIFY(program.started);
        for (QMessageBox* box : program.window()->findChildren<QMessageBox*>()) box->close();
        writeWave(program.path(QStringLiteral("voice.wav")), testSamples(44100, 3));
        std::ofstream(program.path(QStringLiteral("a.chain")).toStdString())
            << "Forward Wavelet Transform\nWavelet Display | Synchronous Display = yes\nWavelet Denoiser\n"
               "Inverse Wavelet Transform\nTime domain Display\n";
        std::ofstream(program.path(QStringLiteral("b.chain")).toStdString()) << "Delay\nStatistics\nNoise generator\n";
        program.control<QLineEdit>(1006)->setText(QStringLiteral("voice.wav"));
        program.app->getFileReaderInfo()->commitFileName();
        for (int id : {1038, 1005, 1002}) QTest::mouseClick(program.control(id), Qt::LeftButton, {}, QPoint(4, 4));
        AudioOutputDevice* output = program.app->getDeviceWriterInfo()->getOutputDevice();
        QTRY_VERIFY_WITH_TIMEOUT(output->getPosition() > 0, 60000);

        FilterListInfo* filters = program.app->getFilterListInfo();
        QListWidget* list = program.control<QListWidget>(1039);
        std::mt19937 rng(2024);
        const int32_t start = output->getPosition();
        for (int step = 0; step < 600 || output->getPosition() < start + 44100; ++step) {
            const int n = filters->getEntryCount();
            if (n > 0) list->setCurrentRow(static_cast<int>(rng() % static_cast<unsigned>(n)));
            FilterInfo* entry = n > 0 ? filters->getEntry(list->currentRow()) : nullptr;
            switch (rng() % 8) {
            case 0: filters->addFilter(static_cast<int>(rng() % 13)); break;
            case 1: if (n > 6) filters->deleteSelected(); break;
            case 2: filters->moveSelected(rng() % 2 ? 1 : -1); break;
            case 3: filters->openSelected(); break;
            case 4: if (entry) entry->closeWindow(); break;
            case 5:
                if (ParameterWindow* w = entry ? entry->getWindow() : nullptr) {
                    const ParameterControl row = w->getControls()[rng() % w->getControls().size()];
                    if (auto* slider = qobject_cast<QSlider*>(row.control))
                        slider->setValue(static_cast<int>(rng() % static_cast<unsigned>(slider->maximum() + 1)));
                    else if (auto* box = qobject_cast<QCheckBox*>(row.control))
                        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
                    else if (auto* choice = qobject_cast<QComboBox*>(row.control))
                        emit choice->activated(static_cast<int>(rng() % static_cast<unsigned>(choice->count())));
                }
                break;
            case 6: QVERIFY(filters->loadChain(program.path(rng() % 2 ? QStringLiteral("a.chain") : QStringLiteral("b.chain")))); break;
            default: QTest::qWait(2); break;
            }
            QCoreApplication::processEvents();
        }
        QVERIFY(output->getPosition() >= start + 44100);
    }
};

QTEST_MAIN(FilterBoxStressTest)
#include "FilterBoxStressTest.moc"
