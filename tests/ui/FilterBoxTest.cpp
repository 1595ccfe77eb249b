// The filter box as a user drives it: the add dialog, deleting and moving
// with buttons, the move control and the keyboard, the parameter windows
// built from the parameter descriptions, the load figures, and chains saved
// and loaded.

#include "FilterBoxFixture.h"
#include "filters/AudioFilter.h"
#include "filters/FilterCatalogue.h"
#include "filters/FilterChainFile.h"
#include "ui/AddFilterDialog.h"
#include "ui/FilterInfo.h"
#include "ui/ParameterWindow.h"
#include "ui/PostedEvents.h"
#include "ui/UpDownControl.h"
#include "ui/WaveFileChooser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <fstream>
#include <memory>
#include <sstream>

using namespace sonabel;
using namespace sonabel::test;

namespace {

enum Catalogue { Forward = 0, Inverse = 1, Noise = 2, Denoiser = 3, WaveletDisplay = 6, TimeDisplay = 7,
                 Statistics = 8, Equalizer = 10, Lowpass = 11, Delay = 12 };

void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// Names of the mixer's chain, of the list lines and of the entries' filters.
QStringList chainNames(FilterBoxFixture& f) {
    QStringList names;
    for (int i = 0; i < f.mixer.getFilterCount(); ++i) names << f.mixer.getFilter(i)->getName();
    return names;
}
QStringList lineNames(FilterBoxFixture& f) {
    QStringList names;
    for (int i = 0; i < f.list()->count(); ++i) names << f.list()->item(i)->text();
    return names;
}
QStringList entryNames(FilterBoxFixture& f) {
    QStringList names;
    for (int i = 0; i < f.filters->getEntryCount(); ++i) names << f.filters->getEntry(i)->getFilter()->getName();
    return names;
}

QString valueText(AudioFilter* filter, int index) {
    char buffer[200];
    return QString::fromUtf8(filter->getParameterText(index, buffer, 199));
}

int selected(FilterBoxFixture& f) {
    return f.list()->selectedItems().isEmpty() ? -1 : f.list()->currentRow();
}

// Answers the add dialog as soon as it is up: picks row (or none) and
// presses OK, or Cancel.
void answerAddDialog(int row, bool ok) {
    QTimer::singleShot(0, [row, ok] {
        auto* dialog = qobject_cast<AddFilterDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        auto* list = findControl<QListWidget>(dialog, 1039);
        QCOMPARE(list->count(), getFilterCount());
        if (row >= 0) list->setCurrentRow(row);
        else list->clearSelection();
        QTest::mouseClick(findControl<QPushButton>(dialog, ok ? 1 : 2), Qt::LeftButton);
        // OK without a selection does nothing: leave with Cancel.
        if (dialog->isVisible()) QTest::mouseClick(findControl<QPushButton>(dialog, 2), Qt::LeftButton);
    });
}

int openWindowCount() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<ParameterWindow*>(w) && w->isVisible()) ++n;
    return n;
}

// Counts the parameter events that reach one object.
class EventCounter : public QObject {
public:
    int texts = 0, values = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == MSG_PARAM_TEXT) ++texts;
        if (e->type() == MSG_PARAM_VALUE) ++values;
        return false;
    }
};

} // namespace

class FilterBoxTest : public QObject {
    Q_OBJECT
private slots:
    void emptyChainIgnoresSetupDelMoveAndCancelledAdd() {
        FilterBoxFixture f;
        QTest::mouseClick(f.button(1042), Qt::LeftButton);
        QTest::mouseClick(f.button(1041), Qt::LeftButton);
        QTest::mouseClick(f.filters->getMoveControl()->upButton(), Qt::LeftButton);
        QTest::mouseClick(f.filters->getMoveControl()->downButton(), Qt::LeftButton);
        QTest::keyClick(f.list(), Qt::Key_Delete);
        QTest::keyClick(f.list(), Qt::Key_Up, Qt::ControlModifier);
        answerAddDialog(Delay, false);
        QTest::mouseClick(f.button(1040), Qt::LeftButton);
        answerAddDialog(-1, true);
        QTest::mouseClick(f.button(1040), Qt::LeftButton);
        settle();
        QCOMPARE(f.filters->getEntryCount(), 0);
        QCOMPARE(f.mixer.getFilterCount(), 0);
        QCOMPARE(f.list()->count(), 0);
        QCOMPARE(openWindowCount(), 0);
    }

    void addDialogShowsTheDescription() {
        AddFilterDialog dialog;
        auto* list = findControl<QListWidget>(&dialog, 1039);
        auto* description = findControl<QLabel>(&dialog, 1056);
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(list->item(Delay)->text(), QStringLiteral("Delay"));
        list->setCurrentRow(WaveletDisplay);
        QCOMPARE(description->text(), QStringLiteral("Displays the wavelet coefficients graphically. Put this after a "
                                                     "forward Wavelet Transform filter."));
    }

    void addingDelayOpensItsWindowAtTheMainWindowsCorner() {
        FilterBoxFixture f;
        answerAddDialog(Delay, true);
        QTest::mouseClick(f.button(1040), Qt::LeftButton);
        settle();
        QCOMPARE(lineNames(f), QStringList{"Delay"});
        QCOMPARE(selected(f), 0);
        QCOMPARE(chainNames(f), QStringList{"Delay"});
        ParameterWindow* window = f.filters->getEntry(0)->getWindow();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Delay"));
        const QRect main = f.window.frameGeometry();
        QCOMPARE(window->frameGeometry().topLeft(), QPoint(main.x() + main.width(), main.y()));
        const auto& rows = window->getControls();
        QCOMPARE(rows.size(), size_t(2));
        AudioFilter* delay = f.filters->getEntry(0)->getFilter();
        const char* names[] = {"Delay", "Delay volume"};
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(rows[i].type, int(PARAM_SLIDER));
            QCOMPARE(rows[i].nameLabel->text(), QString::fromUtf8(names[i]));
            QCOMPARE(rows[i].valueText->text(), valueText(delay, i));
            QVERIFY(!rows[i].valueText->text().isEmpty());
            QCOMPARE(static_cast<QSlider*>(rows[i].control)->value(), delay->getParameter(i));
        }
        // Dragging the slider changes the filter as it moves; the text follows.
        auto* slider = static_cast<QSlider*>(rows[0].control);
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_End);
        settle();
        QCOMPARE(delay->getParameter(0), 200);
        QCOMPARE(rows[0].valueText->text(), valueText(delay, 0));
        // "Setup" raises the same window rather than building another.
        QTest::mouseClick(f.button(1042), Qt::LeftButton);
        QCOMPARE(f.filters->getEntry(0)->getWindow(), window);
        QCOMPARE(openWindowCount(), 1);
    }

    void selectionAfterDeleting_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<int>("selectedAfter");
        QTest::newRow("last line") << 2 << QStringList{"Delay", "Statistics"} << 1;
        QTest::newRow("middle line") << 1 << QStringList{"Delay", "Butterworth Lowpass"} << 1;
        QTest::newRow("first line") << 0 << QStringList{"Statistics", "Butterworth Lowpass"} << 0;
    }
    void selectionAfterDeleting() {
        QFETCH(int, row);
        FilterBoxFixture f;
        for (int k : {Delay, Statistics, Lowpass}) f.filters->addFilter(k);
        f.list()->setCurrentRow(row);
        QTest::mouseClick(f.button(1041), Qt::LeftButton);
        QTEST(lineNames(f), "left");
        QTEST(chainNames(f), "left");
        QTEST(entryNames(f), "left");
        QTEST(selected(f), "selectedAfter");
    }

    void movesWithTheControlAndTheKeyboard() {
        FilterBoxFixture f;
        for (int k : {Delay, Statistics, Lowpass}) f.filters->addFilter(k);
        UpDownControl* mover = f.filters->getMoveControl();
        QCOMPARE(mover->objectName(), QStringLiteral("1055"));
        const QStringList start{"Delay", "Statistics", "Butterworth Lowpass"};
        f.list()->setCurrentRow(0);
        // The up arrow at position 0 wraps to 100 and still means up: the
        // first filter stays where it is.
        QTest::mouseClick(mover->upButton(), Qt::LeftButton);
        QCOMPARE(mover->position(), 100);
        QCOMPARE(chainNames(f), start);
        // The down arrow wraps back to 0 and means down.
        QTest::mouseClick(mover->downButton(), Qt::LeftButton);
        QCOMPARE(mover->position(), 0);
        const QStringList swapped{"Statistics", "Delay", "Butterworth Lowpass"};
        QCOMPARE(chainNames(f), swapped);
        QCOMPARE(lineNames(f), swapped);
        QCOMPARE(entryNames(f), swapped);
        QCOMPARE(selected(f), 1);
        QTest::keyClick(f.list(), Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(chainNames(f), (QStringList{"Statistics", "Butterworth Lowpass", "Delay"}));
        QCOMPARE(selected(f), 2);
        QTest::keyClick(f.list(), Qt::Key_Down, Qt::ControlModifier); // past the end: nothing
        QTest::mouseClick(mover->downButton(), Qt::LeftButton);
        QCOMPARE(chainNames(f), (QStringList{"Statistics", "Butterworth Lowpass", "Delay"}));
        QTest::keyClick(f.list(), Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(chainNames(f), swapped);
        QCOMPARE(lineNames(f), swapped);
        // Enter opens the selected filter's window, Delete removes it.
        QTest::keyClick(f.list(), Qt::Key_Return);
        QVERIFY(f.filters->getEntry(1)->getWindow());
        QTest::keyClick(f.list(), Qt::Key_Delete);
        QCOMPARE(chainNames(f), (QStringList{"Statistics", "Butterworth Lowpass"}));
        settle();
        QCOMPARE(openWindowCount(), 0);
    }

    void moveDirectionRule_data() {
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("now");
        QTest::addColumn<int>("direction");
        QTest::newRow("up arrow") << 50 << 49 << -1;
        QTest::newRow("down arrow") << 50 << 51 << +1;
        QTest::newRow("up wraps 0 to 100") << 0 << 100 << -1;
        QTest::newRow("down wraps 100 to 0") << 100 << 0 << +1;
        QTest::newRow("same position") << 7 << 7 << -1;
        QTest::newRow("diff 10") << 20 << 10 << -1;
        QTest::newRow("diff 11") << 21 << 10 << +1;
        QTest::newRow("diff -9") << 1 << 10 << +1;
        QTest::newRow("diff -10") << 0 << 10 << -1;
    }
    void moveDirectionRule() {
        QFETCH(int, last);
        QFETCH(int, now);
        QTEST(UpDownControl::moveDirection(last, now), "direction");
    }

    // The denoiser's "Type" has three values; its entries are the filter's
    // own texts, and building the window neither changes nor even sets the
    // running filter.
    void choiceEntriesComeFromASpare() {
        FilterBoxFixture f;
        f.filters->addFilter(Denoiser);
        AudioFilter* denoiser = f.filters->getEntry(0)->getFilter();
        denoiser->setParameter(1, 2);
        settle();
        EventCounter counter;
        f.filters->getEntry(0)->installEventFilter(&counter);
        f.filters->openSelected();
        settle();
        QCOMPARE(counter.texts, 0);
        QCOMPARE(denoiser->getParameter(1), 2);
        const auto& row = f.filters->getEntry(0)->getWindow()->getControls()[1];
        QCOMPARE(row.type, int(PARAM_CHOICE));
        QVERIFY(!row.valueText);
        auto* choice = static_cast<QComboBox*>(row.control);
        QCOMPARE(choice->count(), 3);
        QCOMPARE(choice->currentIndex(), 2);
        std::unique_ptr<AudioFilter> fresh(createFilter(Denoiser));
        for (int v = 0; v < 3; ++v) {
            fresh->setParameter(1, v);
            QCOMPARE(choice->itemText(v), valueText(fresh.get(), 1));
        }
        // Choosing an entry sets the value.
        choice->setCurrentIndex(0);
        emit choice->activated(0);
        QCOMPARE(denoiser->getParameter(1), 0);
    }

    // Rows by type: the inverse transform's measured "DC Offset Error" row
    // has a name and a text only and is shorter by the control's height;
    // a slider row is a full step.
    void rowGeometryFollowsTheTemplates() {
        FilterBoxFixture f;
        f.filters->addFilter(Inverse);
        f.filters->addFilter(Delay);
        for (int e = 0; e < 2; ++e) f.filters->getEntry(e)->openWindow();
        for (int e = 0; e < 2; ++e) {
            ParameterWindow* w = f.filters->getEntry(e)->getWindow();
            const QRect name = findControl(w, 1044)->geometry();
            const QRect control = findControl(w, 1042)->geometry();
            QVERIFY(findControl(w, 1044)->isHidden() && findControl(w, 1043)->isHidden() &&
                    findControl(w, 1042)->isHidden());
            const int step = control.y() + control.height() - name.y() + 5;
            const auto& rows = w->getControls();
            QCOMPARE(rows[0].nameLabel->y(), name.y());
            if (e == 0) {
                QCOMPARE(rows[0].type, int(PARAM_DISPLAY));
                QVERIFY(!rows[0].control && rows[0].valueText);
                QCOMPARE(rows[1].nameLabel->y(), name.y() + step - control.height());
            } else {
                QCOMPARE(rows[1].nameLabel->y(), name.y() + step);
                QCOMPARE(rows[1].control->y(), name.y() + step + control.y() - name.y());
                QCOMPARE(w->height(), name.y() + 2 * step);
            }
        }
    }

    void loadFigures() {
        ConstantReader input(0.25f);
        FilterBoxFixture f(false, &input);
        f.filters->addFilter(Delay);
        f.filters->openSelected();
        ParameterWindow* w = f.filters->getEntry(0)->getWindow();
        f.ticks(19);
        settle();
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\.\\d %$")).match(w->loadText()->text()).hasMatch(),
                 qPrintable(w->loadText()->text()));
        AudioFilter* delay = f.filters->getEntry(0)->getFilter();
        QCOMPARE(delay->processCount.load(), 0);
        // Unticking "Active" stops the processing and shows 0.0 %.
        QTest::mouseClick(w->activeBox(), Qt::LeftButton);
        QVERIFY(!delay->isActive());
        f.ticks(19);
        settle();
        QCOMPARE(w->loadText()->text(), QStringLiteral("0.0 %"));
        QCOMPARE(delay->processCount.load(), 0);
    }

    // Every filter's window, every control to its ends while the clock
    // runs free: the texts follow and nothing breaks.
    void everyControlOfEveryFilterToItsEnds() {
        SignalReader signal;
        FilterBoxFixture f(true, &signal);
        for (int k = 0; k < getFilterCount(); ++k) {
            f.filters->addFilter(k);
            f.filters->openSelected();
        }
        for (int e = 0; e < f.filters->getEntryCount(); ++e) {
            FilterInfo* entry = f.filters->getEntry(e);
            AudioFilter* filter = entry->getFilter();
            ParameterWindow* w = entry->getWindow();
            QVERIFY(w);
            for (int i = 0; i < static_cast<int>(w->getControls().size()); ++i) {
                const ParameterControl row = w->getControls()[static_cast<size_t>(i)];
                const ParameterInfo* info = filter->getParameterInfo(i);
                for (int end : {info->max, info->min, info->max}) {
                    if (row.type == PARAM_SLIDER) {
                        static_cast<QSlider*>(row.control)->setValue(end);
                    } else if (row.type == PARAM_CHOICE) {
                        auto* choice = static_cast<QComboBox*>(row.control);
                        choice->setCurrentIndex(end);
                        emit choice->activated(end);
                    } else if (row.type == PARAM_CHECKBOX) {
                        auto* box = static_cast<QCheckBox*>(row.control);
                        if (box->isChecked() != (end == 1))
                            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
                    } else {
                        continue;
                    }
                    settle();
                    QVERIFY2(filter->getParameter(i) == end,
                             qPrintable(QStringLiteral("%1, parameter %2 to %3").arg(filter->getName()).arg(i).arg(end)));
                    if (row.valueText) QCOMPARE(row.valueText->text(), valueText(filter, i));
                }
            }
            // Windows that "Show window" opened are closed again.
            for (int i = 0; i < filter->getParameterCount(); ++i)
                if (QString::fromUtf8(filter->getParameterInfo(i)->name) == QStringLiteral("Show window"))
                    filter->setParameter(i, 0);
        }
        const long before = f.clock.ticks.load();
        QTRY_VERIFY(f.clock.ticks.load() > before);
    }

    void deletingAFilterClosesItsWindowFirst() {
        FilterBoxFixture f(true);
        f.filters->addFilter(Statistics); // posts its measured texts from the audio thread
        f.filters->openSelected();
        QPointer<ParameterWindow> window = f.filters->getEntry(0)->getWindow();
        QTRY_VERIFY(!window->getControls()[1].valueText->text().isEmpty());
        QTest::mouseClick(f.button(1041), Qt::LeftButton);
        QVERIFY(!window); // gone at once, before any later event
        settle();
        QCOMPARE(f.mixer.getFilterCount(), 0);
    }

    void closingTheWindowKeepsTheFilter() {
        FilterBoxFixture f;
        f.filters->addFilter(Delay);
        f.filters->openSelected();
        QPointer<ParameterWindow> window = f.filters->getEntry(0)->getWindow();
        QTest::keyClick(window, Qt::Key_Escape);
        settle();
        QVERIFY(!window);
        QVERIFY(!f.filters->getEntry(0)->getWindow());
        QCOMPARE(f.mixer.getFilterCount(), 1);
        f.filters->getEntry(0)->getFilter()->setParameter(0, 17); // a message for a closed window
        settle();
        f.filters->openSelected();
        QCOMPARE(static_cast<QSlider*>(f.filters->getEntry(0)->getWindow()->getControls()[0].control)->value(), 17);
    }

    void filterAddedWhileRunningGetsTheStreamFormat() {
        // A 48 kHz mono file playing: the mixer runs at 48 kHz (two channels
        // at least).
        ConstantReader file(0.1f, 1, 48000.0f);
        FilterBoxFixture f(true, &file);
        QTRY_VERIFY(f.clock.ticks.load() > 3);
        f.filters->addFilter(Delay);
        AudioFormat* format = f.filters->getEntry(0)->getFilter()->getFormat();
        QCOMPARE(format->sampleRate, 48000.0f);
        QCOMPARE(format->channels, f.mixer.getAudioFormat()->channels);
    }

    void chainSavedAndLoadedInAFreshWindow() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("voice.chain"));
        std::vector<std::vector<int>> values;
        std::vector<bool> actives;
        QStringList names;
        {
            FilterBoxFixture f;
            for (int k : {Forward, Denoiser, WaveletDisplay, Inverse, Delay, Lowpass}) f.filters->addFilter(k);
            AudioFilter* forward = f.filters->getEntry(0)->getFilter();
            forward->setParameter(0, 7);
            forward->setParameter(1, 2);
            f.filters->getEntry(1)->getFilter()->setParameter(0, 123);
            f.filters->getEntry(1)->getFilter()->setParameter(1, 2);
            f.filters->getEntry(2)->getFilter()->setParameter(3, 6);
            f.filters->getEntry(4)->getFilter()->setParameter(1, 33);
            f.filters->getEntry(5)->getFilter()->setActive(false);
            QVERIFY(f.filters->saveChain(path));
            for (int e = 0; e < f.filters->getEntryCount(); ++e) {
                AudioFilter* filter = f.filters->getEntry(e)->getFilter();
                names << filter->getName();
                std::vector<int> v;
                for (int i = 0; i < filter->getParameterCount(); ++i) v.push_back(filter->getParameter(i));
                values.push_back(v);
                actives.push_back(filter->isActive());
            }
        }
        FilterBoxFixture g;
        g.filters->addFilter(Statistics); // replaced by the loaded chain
        QVERIFY(g.filters->loadChain(path));
        QCOMPARE(entryNames(g), names);
        QCOMPARE(chainNames(g), names);
        QCOMPARE(lineNames(g), names);
        for (int e = 0; e < g.filters->getEntryCount(); ++e) {
            AudioFilter* filter = g.filters->getEntry(e)->getFilter();
            QCOMPARE(filter->isActive(), actives[static_cast<size_t>(e)]);
            for (int i = 0; i < filter->getParameterCount(); ++i)
                QCOMPARE(filter->getParameter(i), values[static_cast<size_t>(e)][static_cast<size_t>(i)]);
        }
    }

    void badChainFileNamesTheLineAndKeepsTheChain() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bad.chain"));
        {
            std::ofstream out(path.toStdString());
            out << "# denoise\nForward Wavelet Transform\nWavelet Denoiser | Threshold = lots\n";
        }
        FilterBoxFixture f;
        f.filters->addFilter(Delay);
        QVERIFY(!f.filters->loadChain(path));
        QCOMPARE(chainNames(f), QStringList{"Delay"});
        QCOMPARE(lineNames(f), QStringList{"Delay"});
        QMessageBox* box = f.window.findChild<QMessageBox*>(QStringLiteral("chainProblem"));
        QVERIFY(box && box->isVisible());
        QVERIFY2(box->text().contains(QStringLiteral("line 3")), qPrintable(box->text()));
        box->close();
        QVERIFY(!f.filters->loadChain(dir.filePath(QStringLiteral("missing.chain"))));
        QCOMPARE(chainNames(f), QStringList{"Delay"});
    }

    // What the window's chain played, the same chain read back from its file
    // plays again offline (the renderer's path: parse, then a mixer): the
    // same samples.
    void savedChainRendersOfflineAsItPlayedLive() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("live.chain"));
        const int chunks = 12;
        std::vector<float> live;
        {
            SignalReader signal;
            FilterBoxFixture f(false, &signal);
            for (int k : {Forward, Denoiser, Inverse, Delay, Lowpass}) f.filters->addFilter(k);
            f.filters->getEntry(0)->getFilter()->setParameter(0, 9);
            f.filters->getEntry(1)->getFilter()->setParameter(0, 60);
            f.filters->getEntry(3)->getFilter()->setParameter(0, 15);
            f.filters->getEntry(4)->getFilter()->setParameter(1, 40);
            QVERIFY(f.filters->saveChain(path));
            f.ticks(chunks);
            live = f.writer.samples;
        }
        std::ifstream in(path.toStdString());
        std::vector<AudioFilter*> chain;
        std::string error;
        QVERIFY2(FilterChainFile(FilterFactory{getFilterCount, createFilter}).parse(in, chain, error), error.c_str());
        QCOMPARE(chain.size(), size_t(5));
        SignalReader signal;
        AudioMixer mixer;
        AudioSynchronizer synchronizer;
        RecordingWriter writer;
        TestTickProvider clock(1024);
        mixer.addInput(&signal, 1.0f, false);
        for (AudioFilter* filter : chain) mixer.addFilter(filter);
        synchronizer.setReader(&mixer);
        synchronizer.addWriter(&writer);
        synchronizer.start();
        synchronizer.setTickProvider(&clock);
        for (int i = 0; i < chunks; ++i) clock.tick();
        synchronizer.stop();
        synchronizer.setTickProvider(nullptr);
        for (AudioFilter* filter : chain) {
            mixer.removeFilter(filter);
            delete filter;
        }
        QCOMPARE(live.size(), size_t(chunks * 1024));
        QCOMPARE(writer.samples.size(), live.size());
        double energy = 0.0;
        for (size_t n = 0; n < live.size(); ++n) {
            QCOMPARE(writer.samples[n], live[n]);
            energy += live[n] * live[n];
        }
        QVERIFY2(energy > 0.01, qPrintable(QString::number(energy))); // the chain let sound through
    }

    void loadingChainsWhileTheClockRuns() {
        QTemporaryDir dir;
        const QString a = dir.filePath(QStringLiteral("a.chain"));
        const QString b = dir.filePath(QStringLiteral("b.chain"));
        {
            std::ofstream(a.toStdString()) << "Forward Wavelet Transform\nWavelet Display | Show window = 1\n"
                                              "Wavelet Denoiser\nInverse Wavelet Transform\n";
            std::ofstream(b.toStdString()) << "Delay | Delay = 30\nTime domain Display\nStatistics\n";
        }
        SignalReader signal;
        FilterBoxFixture f(true, &signal);
        for (int round = 0; round < 10; ++round) {
            QVERIFY(f.filters->loadChain(round % 2 ? b : a));
            f.filters->openSelected();
            settle();
        }
        QCOMPARE(chainNames(f), (QStringList{"Delay", "Time domain Display", "Statistics"}));
    }

    void fileButtonCommitsTheChoiceAsEnterDoes() {
        QLineEdit box;
        QSignalSpy committed(&box, &QLineEdit::returnPressed);
        WaveFileChooser::commit(&box, QStringLiteral("/tmp/voice.wav"));
        QCOMPARE(box.text(), QStringLiteral("/tmp/voice.wav"));
        QCOMPARE(committed.count(), 1);
    }
};

QTEST_MAIN(FilterBoxTest)
#include "FilterBoxTest.moc"
