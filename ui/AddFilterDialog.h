#pragma once
// "Add filter": the modal list of every filter class of the catalogue, with
// the selected one's description under it. exec() returns the chosen
// catalogue index through chosenIndex(), -1 after "Cancel" or Esc.

#include <QDialog>

class QLabel;
class QListWidget;

namespace sonabel {

class AddFilterDialog : public QDialog {
    Q_OBJECT
public:
    explicit AddFilterDialog(QWidget* parent = nullptr);

    // Runs the dialog; the catalogue index, or -1.
    static int choose(QWidget* parent);
    int chosenIndex() const { return chosen; }

private:
    void showDescription(int row);
    void confirm();

    QListWidget* list;
    QLabel* description;
    int chosen = -1;
};

} // namespace sonabel
