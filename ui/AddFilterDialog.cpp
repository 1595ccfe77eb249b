#include "ui/AddFilterDialog.h"

#include "filters/AudioFilter.h"
#include "filters/FilterCatalogue.h"
#include "ui/ControlId.h"
#include "ui/DialogUnits.h"

#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <memory>

namespace sonabel {

AddFilterDialog::AddFilterDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Add filter"));
    const DialogUnits du;
    setFixedSize(du.size(196, 186));

    auto* prompt = new QLabel(QStringLiteral("Please choose the new filter and press OK."), this);
    prompt->setGeometry(du.rect(7, 7, 136, 8));

    list = new QListWidget(this);
    setControlId(list, 1039);
    list->setGeometry(du.rect(7, 17, 182, 99));

    description = new QLabel(this);
    setControlId(description, 1056);
    description->setGeometry(du.rect(7, 119, 182, 40));
    description->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    description->setWordWrap(true);
    description->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* line = new QFrame(this);
    line->setGeometry(du.rect(7, 161, 182, 1));
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    setControlId(ok, 1);
    ok->setGeometry(du.rect(85, 165, 50, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    setControlId(cancel, 2);
    cancel->setGeometry(du.rect(139, 165, 50, 14));

    for (int i = 0; i < getFilterCount(); ++i) {
        std::unique_ptr<AudioFilter> filter(createFilter(i));
        list->addItem(filter ? QString::fromUtf8(filter->getName()) : QString());
    }
    connect(list, &QListWidget::currentRowChanged, this, &AddFilterDialog::showDescription);
    connect(list, &QListWidget::itemDoubleClicked, this, &AddFilterDialog::confirm);
    connect(ok, &QPushButton::clicked, this, &AddFilterDialog::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    list->setCurrentRow(0);
    showDescription(list->currentRow());
}

void AddFilterDialog::showDescription(int row) {
    std::unique_ptr<AudioFilter> filter(row >= 0 ? createFilter(row) : nullptr);
    description->setText(filter ? QString::fromUtf8(filter->getDescription()) : QString());
}

void AddFilterDialog::confirm() {
    const int row = list->currentRow();
    if (row < 0 || list->selectedItems().isEmpty()) return; // OK without a selection does nothing
    chosen = row;
    accept();
}

int AddFilterDialog::choose(QWidget* parent) {
    AddFilterDialog dialog(parent);
    return dialog.exec() == QDialog::Accepted ? dialog.chosenIndex() : -1;
}

} // namespace sonabel
