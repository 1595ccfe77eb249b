#include "ui/ParameterWindow.h"

#include "filters/AudioFilter.h"
#include "ui/ControlId.h"
#include "ui/DialogUnits.h"
#include "ui/FilterInfo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

namespace sonabel {

namespace {

constexpr int textCapacity = 199; // value texts fit in 200 characters

QLabel* makeText(QWidget* parent, const QRect& where, const QFont& font) {
    auto* label = new QLabel(parent);
    label->setGeometry(where);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setWordWrap(false);
    label->show();
    return label;
}

} // namespace

ParameterWindow::ParameterWindow(FilterInfo& info, QWidget* mainWindow)
    : QDialog(mainWindow), owner(info), filter(*info.getFilter()) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setModal(false);
    setWindowTitle(QStringLiteral("Filter parameters")); // until the rows are built
    const DialogUnits du;
    resize(du.size(215, 44));

    active = new QCheckBox(QStringLiteral("Active"), this);
    setControlId(active, 1045);
    active->setGeometry(du.rect(3, 1, 40, 10));
    load = new QLabel(this);
    setControlId(load, 1047);
    load->setGeometry(du.rect(143, 1, 65, 8));
    auto* nameTemplate = new QLabel(QStringLiteral("Param name"), this);
    setControlId(nameTemplate, 1044);
    nameTemplate->setGeometry(du.rect(3, 11, 99, 8));
    auto* valueTemplate = new QLabel(QStringLiteral("Param value"), this);
    setControlId(valueTemplate, 1043);
    valueTemplate->setGeometry(du.rect(105, 11, 103, 8));
    auto* controlTemplate = new QSlider(Qt::Horizontal, this);
    setControlId(controlTemplate, 1042);
    controlTemplate->setGeometry(du.rect(3, 19, 205, 11));

    build();

    active->setChecked(filter.isActive());
    connect(active, &QCheckBox::clicked, this, [this](bool on) { filter.setActive(on); });
    setWindowTitle(QString::fromUtf8(filter.getName()));
}

// Rows from the templates: each starts at y (the first at the name
// template's top y0) and the next one rowStep lower, with
// rowStep = (control template's bottom) - y0 + 5 pixels; rows without a
// control under the label advance by rowStep less the control's height.
void ParameterWindow::build() {
    controls.clear();
    const QRect name = findControl(this, 1044)->geometry();
    const QRect value = findControl(this, 1043)->geometry();
    const QRect control = findControl(this, 1042)->geometry();
    const int y0 = name.top();
    const int rowStep = control.top() + control.height() - y0 + 5;
    for (int id : {1044, 1043, 1042}) findControl(this, id)->hide();
    const QFont font = findControl(this, 1044)->font();

    const int count = filter.getParameterCount();
    int y = y0;
    for (int i = 0; i < count; ++i) {
        const ParameterInfo* info = filter.getParameterInfo(i);
        ParameterControl row;
        row.type = info ? info->type : PARAM_DISPLAY;
        if (row.type != PARAM_SLIDER && row.type != PARAM_CHOICE && row.type != PARAM_CHECKBOX) row.type = PARAM_DISPLAY;
        if (row.type != PARAM_CHECKBOX) {
            row.nameLabel = makeText(this, QRect(name.left(), y, name.width(), name.height()), font);
            row.nameLabel->setText(QString::fromUtf8(info ? info->name : ""));
        }
        if (row.type != PARAM_CHOICE && row.type != PARAM_CHECKBOX)
        {
            row.valueColumn = QRect(value.left(), y, value.width(), value.height());
            row.valueText = makeText(this, row.valueColumn, font);
        }
        const QRect under(control.left(), y + control.top() - y0, control.width(), control.height());
        if (row.type == PARAM_SLIDER) {
            auto* slider = new QSlider(Qt::Horizontal, this);
            slider->setGeometry(under);
            slider->setTracking(true);
            slider->setRange(info->min, info->max);
            slider->setFocusPolicy(Qt::StrongFocus);
            connect(slider, &QSlider::valueChanged, this, [this, i](int v) { apply(i, v); });
            row.control = slider;
        } else if (row.type == PARAM_CHOICE) {
            auto* choice = new QComboBox(this);
            choice->setGeometry(under);
            choice->setFont(font);
            choice->addItems(owner.choiceTexts(i));
            connect(choice, &QComboBox::activated, this, [this, i](int index) { apply(i, index + controlsMin(i)); });
            row.control = choice;
        } else if (row.type == PARAM_CHECKBOX) {
            auto* box = new QCheckBox(QString::fromUtf8(info->name), this);
            box->setGeometry(name.left(), y, control.width(), value.height());
            box->setFont(font);
            connect(box, &QCheckBox::clicked, this, [this, i](bool on) { apply(i, on ? 1 : 0); });
            row.control = box;
        }
        if (row.control) {
            setControlId(row.control, 0);
            row.control->show();
        }
        controls.push_back(row);
        y += row.type == PARAM_SLIDER || row.type == PARAM_CHOICE ? rowStep : rowStep - control.height();
    }
    for (int i = 0; i < count; ++i) {
        refreshText(i);
        moveControl(i);
    }
    // The client area keeps its width and ends below the last row.
    setFixedSize(width(), y);
    if (QWidget* main = parentWidget()) {
        const QRect frame = main->frameGeometry();
        move(frame.x() + frame.width(), frame.y());
    }
}

int ParameterWindow::controlsMin(int index) const {
    const ParameterInfo* info = filter.getParameterInfo(index);
    return info ? info->min : 0;
}

void ParameterWindow::apply(int index, int reading) { filter.setParameter(index, reading); }

void ParameterWindow::refreshText(int index) {
    if (index < 0 || index >= static_cast<int>(controls.size())) return;
    const ParameterControl& row = controls[static_cast<size_t>(index)];
    QLabel* text = row.valueText;
    if (!text) return;
    char buffer[textCapacity + 1];
    const QString full = QString::fromUtf8(filter.getParameterText(index, buffer, textCapacity));
    if (full == text->toolTip()) return; // unchanged: no relayout while a slider is dragged
    text->setToolTip(full);

    // A long value text ("-40.5 db threshold (0.009 linear)") borrows the
    // unused part of the name column, right-aligned to its own column's
    // edge; only what still does not fit is elided, and the tooltip keeps
    // the whole text.
    const QFontMetrics metrics(text->font());
    const int needed = metrics.horizontalAdvance(full);
    QRect place = row.valueColumn;
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    if (needed > place.width()) {
        int left = row.nameLabel ? row.nameLabel->x() : place.left();
        if (row.nameLabel) left += metrics.horizontalAdvance(row.nameLabel->text()) + metrics.averageCharWidth() * 2;
        left = std::clamp(place.right() + 1 - needed, std::min(left, place.left()), place.left());
        place.setLeft(left);
        align = Qt::AlignRight | Qt::AlignVCenter;
    }
    if (text->geometry() != place) text->setGeometry(place);
    text->setAlignment(align);
    text->setText(needed > place.width() ? metrics.elidedText(full, Qt::ElideRight, place.width()) : full);
}

void ParameterWindow::moveControl(int index) {
    if (index < 0 || index >= static_cast<int>(controls.size())) return;
    const ParameterControl& row = controls[static_cast<size_t>(index)];
    if (!row.control || row.type == PARAM_DISPLAY) return;
    const int v = filter.getParameter(index);
    // A control moved here is not the user's doing: nothing goes back to the filter.
    const QSignalBlocker quiet(row.control);
    if (row.type == PARAM_SLIDER)
        static_cast<QSlider*>(row.control)->setValue(v);
    else if (row.type == PARAM_CHOICE)
        static_cast<QComboBox*>(row.control)->setCurrentIndex(v - controlsMin(index));
    else
        static_cast<QCheckBox*>(row.control)->setChecked(v == 1);
}

void ParameterWindow::showLoad(double percent) { load->setText(QString::asprintf("%.1f %%", percent)); }

void ParameterWindow::reject() { owner.closeWindow(); }

} // namespace sonabel
