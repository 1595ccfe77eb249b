// The filter box as a user drives it: the add dialog, deleting and moving
// with buttons, the move control and the keyboard, parameter windows built
// from the parameter descriptions, the load figures, and chains saved and
// loaded.

#include "FilterBoxFixture.h"
#include "filters/AudioFilter.h"
#include "filters/FilterCatalogue.h"
#include "filters/FilterChainFile.h"
#include "ui/AddFilterDialog.h"
#include "ui/FilterInfo.h"
#include "ui/ParameterWindow.h"
#include "ui/PostedEvents.h"
#include "ui/UpDownControl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <fstream>

using namespace sonabel;
using namespace sonabel::test;

namespace {

enum { Forward = 0, Inverse = 1, Denoiser = 3, Statistics = 8, Lowpass = 11, Delay = 12 };

// The names of the list lines; of the mixer's chain and the entries too,
// which must match them.
QStringList lines(FilterBoxFixture& f) {
    QStringList names, chain, entries;
    for (int i = 0; i < f.list()->count(); ++i) names << f.list()->item(i)->text();
    for (int i = 0; i < f.mixer.getFilterCount(); ++i) chain << f.mixer.getFilter(i)->getName();
    for (int i = 0; i < f.filters->getEntryCount(); ++i) entries << f.filters->getEntry(i)->getFilter()->getName();
    return names == chain && names == entries ? names : QStringList{"out of step"};
}

QString text(AudioFilter* filter, int index) {
    char buffer[200];
    return QString::fromUtf8(filter->getParameterText(index, buffer, 199));
}

int selected(FilterBoxFixture& f) { return f.list()->selectedItems().isEmpty() ? -1 : f.list()->currentRow(); }

// Answers the add dialog once it is up: row (-1 none), then OK or Cancel.
void answerAddDialog(int row, bool ok) {
    QTimer::singleShot(0, [row, ok] {
        auto* dialog = qobject_cast<AddFilterDialog*>(QApplication::activeModalWidget());
        auto* list = findControl<QListWidget>(dialog, 1039);
        row >= 0 ? list->setCurrentRow(row) : list->clearSelection();
        QTest::mouseClick(findControl<QPushButton>(dialog, ok ? 1 : 2), Qt::LeftButton);
        if (dialog->isVisible()) dialog->reject(); // OK without a selection does nothing
    });
}

void click(QAbstractButton* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2)); }

class EventCounter : public QObject {
public:
    int texts = 0;
    bool eventFilter(QObject*, QEvent* e) override { return texts += e->type() == MSG_PARAM_TEXT, false; }
};

} // namespace

class FilterBoxTest : public QObject {
    Q_OBJECT
private slots:
    void emptyChainAndCancelledAdd() {
        FilterBoxFixture f;
        for (int id : {1042, 1041}) QTest::mouseClick(f.button(id), Qt::LeftButton);
        QTest::mouseClick(f.filters->getMoveControl()->upButton(), Qt::LeftButton);
        QTest::keyClick(f.list(), Qt::Key_Delete);
        QTest::keyClick(f.list(), Qt::Key_Down, Qt::ControlModifier);
        answerAddDialog(Delay, false);
        QTest::mouseClick(f.button(1040), Qt::LeftButton);
        answerAddDialog(-1, true);
        QTest::mouseClick(f.button(1040), Qt::LeftButton);
        QCOMPARE(lines(f), QStringList());
        for (QWidget* w : QApplication::topLevelWidgets()) QVERIFY(!qobject_cast<ParameterWindow*>(w));
    }

    void addingDelayOpensItsWindowAtTheCorner() {
        FilterBoxFixture f;
        answerAddDialog(Delay, true);
        QTest::mouseClick(f.button(1040), Qt::LeftButton);
        QCOMPARE(lines(f), QStringList{"Delay"});
        QCOMPARE(selected(f), 0);
        ParameterWindow* w = f.filters->getEntry(0)->getWindow();
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->windowTitle(), QStringLiteral("Delay"));
        const QRect main = f.window.frameGeometry();
        QCOMPARE(w->frameGeometry().topLeft(), QPoint(main.x() + main.width(), main.y()));
        AudioFilter* delay = f.filters->getEntry(0)->getFilter();
        const auto& rows = w->getControls();
        QCOMPARE(rows.size(), size_t(2));
        QCOMPARE(rows[1].nameLabel->text(), QStringLiteral("Delay volume"));
        QCOMPARE(rows[1].valueText->text(), text(delay, 1));
        auto* slider = static_cast<QSlider*>(rows[0].control);
        QCOMPARE(slider->value(), delay->getParameter(0));
        QTest::keyClick(slider, Qt::Key_End); // the filter follows the slider, the text the filter
        settle();
        QCOMPARE(delay->getParameter(0), 200);
        QCOMPARE(rows[0].valueText->text(), text(delay, 0));
    }

    void selectionAfterDeleting_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<int>("selectedAfter");
        QTest::newRow("last") << 2 << QStringList{"Delay", "Statistics"} << 1;
        QTest::newRow("middle") << 1 << QStringList{"Delay", "Butterworth Lowpass"} << 1;
    }
    void selectionAfterDeleting() {
        QFETCH(int, row);
        FilterBoxFixture f;
        for (int k : {Delay, Statistics, Lowpass}) f.filters->addFilter(k);
        f.list()->setCurrentRow(row);
        QTest::mouseClick(f.button(1041), Qt::LeftButton);
        QTEST(lines(f), "left");
        QTEST(selected(f), "selectedAfter");
    }

    // The arrows wrap (0 -> 100 is still up) and keep their meaning; moves
    // past either end are ignored; keys do the same.
    void moves() {
        FilterBoxFixture f;
        for (int k : {Delay, Statistics, Lowpass}) f.filters->addFilter(k);
        UpDownControl* mover = f.filters->getMoveControl();
        QCOMPARE(mover->objectName(), QStringLiteral("1055"));
        const QStringList start{"Delay", "Statistics", "Butterworth Lowpass"};
        const QStringList swapped{"Statistics", "Delay", "Butterworth Lowpass"};
        f.list()->setCurrentRow(0);
        QTest::mouseClick(mover->upButton(), Qt::LeftButton);
        QCOMPARE(mover->position(), 100);
        QCOMPARE(lines(f), start);
        QTest::mouseClick(mover->downButton(), Qt::LeftButton);
        QCOMPARE(lines(f), swapped);
        QCOMPARE(selected(f), 1);
        QTest::keyClick(f.list(), Qt::Key_Down, Qt::ControlModifier);
        QTest::keyClick(f.list(), Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(lines(f), (QStringList{"Statistics", "Butterworth Lowpass", "Delay"}));
        QTest::keyClick(f.list(), Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(lines(f), swapped);
        QTest::keyClick(f.list(), Qt::Key_Return);
        QVERIFY(f.filters->getEntry(1)->getWindow());
        QTest::keyClick(f.list(), Qt::Key_Delete);
        QCOMPARE(lines(f), (QStringList{"Statistics", "Butterworth Lowpass"}));
    }

    void moveDirectionRule() {
        // last, now, direction: arrows, wraps, and the edges of the rule.
        const int cases[][3] = {{50, 49, -1}, {50, 51, 1}, {0, 100, -1}, {100, 0, 1}, {7, 7, -1},
                                {20, 10, -1}, {21, 10, 1}, {1, 10, 1},   {0, 10, -1}};
        for (const auto& c : cases) QCOMPARE(UpDownControl::moveDirection(c[0], c[1]), c[2]);
    }

    // Rows by type from the templates' geometry: the inverse transform's
    // measured row is shorter by the control's height, a slider row is a
    // full step; the denoiser's three-entry choice takes the filter's own
    // texts from a spare, so the running filter is not even set.
    void rowsFromTheDescriptions() {
        FilterBoxFixture f;
        for (int k : {Inverse, Delay, Denoiser}) f.filters->addFilter(k);
        AudioFilter* denoiser = f.filters->getEntry(2)->getFilter();
        denoiser->setParameter(1, 2);
        settle();
        EventCounter counter;
        f.filters->getEntry(2)->installEventFilter(&counter);
        for (int e = 0; e < 3; ++e) f.filters->getEntry(e)->openWindow();
        settle();
        QCOMPARE(counter.texts, 0);
        for (int e = 0; e < 2; ++e) {
            ParameterWindow* w = f.filters->getEntry(e)->getWindow();
            const QRect name = findControl(w, 1044)->geometry(), control = findControl(w, 1042)->geometry();
            QVERIFY(findControl(w, 1044)->isHidden() && findControl(w, 1043)->isHidden() && control.isValid());
            const int step = control.y() + control.height() - name.y() + 5;
            const auto& rows = w->getControls();
            QCOMPARE(rows[1].nameLabel->y(), name.y() + (e == 0 ? step - control.height() : step));
            QCOMPARE(rows[0].type, e == 0 ? int(PARAM_DISPLAY) : int(PARAM_SLIDER));
            QCOMPARE(rows[0].control == nullptr, e == 0);
        }
        auto* choice = static_cast<QComboBox*>(f.filters->getEntry(2)->getWindow()->getControls()[1].control);
        QCOMPARE(choice->count(), 3);
        QCOMPARE(choice->currentIndex(), 2);
        QCOMPARE(denoiser->getParameter(1), 2);
        std::unique_ptr<AudioFilter> fresh(createFilter(Denoiser));
        for (int v = 0; v < 3; ++v) {
            fresh->setParameter(1, v);
            QCOMPARE(choice->itemText(v), text(fresh.get(), 1));
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
        click(w->activeBox());
        f.ticks(19);
        settle();
        QCOMPARE(w->loadText()->text(), QStringLiteral("0.0 %"));
        QCOMPARE(f.filters->getEntry(0)->getFilter()->processCount.load(), 0);
    }

    // Every window of the catalogue, every control to its ends while the
    // clock runs free: the texts follow and nothing breaks.
    void everyControlToItsEnds() {
        SignalReader signal;
        FilterBoxFixture f(true, &signal);
        for (int k = 0; k < getFilterCount(); ++k) {
            f.filters->addFilter(k);
            f.filters->openSelected();
        }
        for (int e = 0; e < f.filters->getEntryCount(); ++e) {
            AudioFilter* filter = f.filters->getEntry(e)->getFilter();
            const auto rows = f.filters->getEntry(e)->getWindow()->getControls();
            for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
                const int max = filter->getParameterInfo(i)->max;
                for (int end : {max, 0, max, 0}) {
                    if (rows[i].type == PARAM_SLIDER) {
                        static_cast<QSlider*>(rows[i].control)->setValue(end);
                    } else if (rows[i].type == PARAM_CHOICE) {
                        emit static_cast<QComboBox*>(rows[i].control)->activated(end);
                    } else if (rows[i].type == PARAM_CHECKBOX) {
                        if (static_cast<QCheckBox*>(rows[i].control)->isChecked() != (end == 1))
                            click(static_cast<QCheckBox*>(rows[i].control));
                    } else {
                        break;
                    }
                    settle();
                    QVERIFY2(filter->getParameter(i) == end, filter->getName());
                    if (rows[i].valueText) {
                        // The whole text is shown, or as much as fits and the rest in the
                        // tooltip; it never runs past the window's edge or over its name.
                        const QLabel* value = rows[i].valueText;
                        QCOMPARE(value->toolTip(), text(filter, i));
                        const QString shown = value->text();
                        if (shown != value->toolTip())
                            QVERIFY2(shown.endsWith(QChar(0x2026)) && value->toolTip().startsWith(shown.chopped(1)),
                                     qPrintable(shown));
                        QVERIFY(value->geometry().right() < value->parentWidget()->width());
                        if (rows[i].nameLabel)
                            QVERIFY2(rows[i].nameLabel->x() + rows[i].nameLabel->fontMetrics().horizontalAdvance(
                                                                  rows[i].nameLabel->text()) <= value->x(),
                                     qPrintable(shown));
                    }
                }
            }
        }
        const long before = f.clock.ticks.load();
        QTRY_VERIFY(f.clock.ticks.load() > before);
    }

    // "Del" with the window open takes the window at once, though the
    // statistics keep posting texts for it; a closed window leaves the filter.
    void windowsCloseBeforeTheirFilter() {
        FilterBoxFixture f(true);
        f.filters->addFilter(Statistics);
        f.filters->addFilter(Delay);
        f.filters->getEntry(0)->openWindow();
        f.filters->getEntry(1)->openWindow();
        QPointer<ParameterWindow> statistics = f.filters->getEntry(0)->getWindow();
        QPointer<ParameterWindow> delay = f.filters->getEntry(1)->getWindow();
        QTRY_VERIFY(!statistics->getControls()[1].valueText->text().isEmpty());
        QTest::keyClick(delay, Qt::Key_Escape);
        f.list()->setCurrentRow(0);
        QTest::mouseClick(f.button(1041), Qt::LeftButton);
        QVERIFY(!statistics);
        settle();
        QVERIFY(!delay);
        QCOMPARE(lines(f), QStringList{"Delay"});
    }

    void filterAddedWhilePlayingGetsTheStreamFormat() {
        ConstantReader file(0.1f, 1, 48000.0f); // a 48 kHz mono file
        FilterBoxFixture f(true, &file);
        QTRY_VERIFY(f.clock.ticks.load() > 3);
        f.filters->addFilter(Delay);
        QCOMPARE(f.filters->getEntry(0)->getFilter()->getFormat()->sampleRate, 48000.0f);
    }

    // Saved in one window: the file renders offline (the renderer's path:
    // parse, then a mixer) to the samples the window's chain played, and it
    // loads in a fresh window with the same filters, values and flags.
    void chainSavedRenderedAndLoaded() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("voice.chain"));
        std::vector<float> live;
        QList<QList<int>> values;
        {
            SignalReader signal;
            FilterBoxFixture f(false, &signal);
            for (int k : {Forward, Denoiser, Inverse, Delay, Lowpass}) f.filters->addFilter(k);
            const int settings[][3] = {{0, 0, 9}, {0, 1, 2}, {1, 0, 60}, {1, 1, 2}, {3, 0, 15}, {4, 1, 40}};
            for (const auto& s : settings) f.filters->getEntry(s[0])->getFilter()->setParameter(s[1], s[2]);
            f.filters->getEntry(4)->getFilter()->setActive(false);
            QVERIFY(f.filters->saveChain(path));
            f.ticks(12);
            live = f.writer.samples;
            for (int e = 0; e < 5; ++e) {
                AudioFilter* filter = f.filters->getEntry(e)->getFilter();
                values << QList<int>{filter->isActive()};
                for (int i = 0; i < filter->getParameterCount(); ++i) values.back() << filter->getParameter(i);
            }
        }
        std::ifstream in(path.toStdString());
        std::vector<AudioFilter*> chain;
        std::string error;
        QVERIFY2(FilterChainFile(FilterFactory{getFilterCount, createFilter}).parse(in, chain, error), error.c_str());
        SignalReader signal;
        AudioMixer mixer;
        mixer.open();
        mixer.addInput(&signal, 1.0f, false);
        for (AudioFilter* filter : chain) mixer.addFilter(filter);
        SampleBuffer chunk(2, 1024);
        for (size_t at = 0; at < live.size(); at += 1024) {
            mixer.read(chunk, 0, 0.0f);
            for (size_t n = 0; n < 1024; ++n) QCOMPARE(chunk.getBuffer(0)[n], live[at + n]);
        }
        for (AudioFilter* filter : chain) mixer.removeFilter(filter), delete filter;
        QCOMPARE(live.size(), size_t(12 * 1024));

        FilterBoxFixture g;
        g.filters->addFilter(Statistics); // replaced
        QVERIFY(g.filters->loadChain(path));
        QCOMPARE(lines(g), (QStringList{"Forward Wavelet Transform", "Wavelet Denoiser", "Inverse Wavelet Transform",
                                        "Delay", "Butterworth Lowpass"}));
        for (int e = 0; e < 5; ++e) {
            AudioFilter* filter = g.filters->getEntry(e)->getFilter();
            QList<int> loaded{filter->isActive()};
            for (int i = 0; i < filter->getParameterCount(); ++i) loaded << filter->getParameter(i);
            QCOMPARE(loaded, values[e]);
        }
    }

    void badChainFileNamesTheLineAndKeepsTheChain() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bad.chain"));
        std::ofstream(path.toStdString()) << "# denoise\nForward Wavelet Transform\nWavelet Denoiser | Threshold = lots\n";
        FilterBoxFixture f;
        f.filters->addFilter(Delay);
        QVERIFY(!f.filters->loadChain(path));
        QVERIFY(!f.filters->loadChain(dir.filePath(QStringLiteral("missing.chain"))));
        QCOMPARE(lines(f), QStringList{"Delay"});
        auto boxes = f.window.findChildren<QMessageBox*>(QStringLiteral("chainProblem"));
        QCOMPARE(boxes.size(), 2);
        QVERIFY2(boxes[0]->text().contains(QStringLiteral("line 3: ")), qPrintable(boxes[0]->text()));
    }
};

QTEST_MAIN(FilterBoxTest)
#include "FilterBoxTest.moc"
