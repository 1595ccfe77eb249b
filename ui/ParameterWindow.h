#pragma once
// "Filter parameters": the modeless window of one filter, built row by row
// from the filter's parameter descriptions. Three hidden templates give the
// geometry: name 1044, value 1043 and control 1042. A slider or choice row
// has the name and value text (or the choice list) on one line and the
// control under it; other rows are shorter by the control's height. Above
// the rows sit check box 1045 "Active" and the load figure 1047.
//
// The window knows no filter class. It reads the filter's parameters when it
// is built and when its FilterInfo forwards a posted MSG_PARAM_TEXT or
// MSG_PARAM_VALUE, and it calls setParameter and setActive when the user
// moves a control. It lives on the interface thread only; no other thread
// ever posts to it. Closing it (close box or Esc) goes through FilterInfo,
// which forgets the window and deletes it later.

#include "ui/ParameterControl.h"

#include <QDialog>
#include <QStringList>
#include <vector>

class QCheckBox;
class QLabel;

namespace sonabel {

class AudioFilter;
class FilterInfo;

class ParameterWindow : public QDialog {
    Q_OBJECT
public:
    // Builds the rows; the owner's choiceTexts(i) gives the entries of choice i.
    ParameterWindow(FilterInfo& owner, QWidget* mainWindow);

    // Sets the value text of parameter index from the filter.
    void refreshText(int index);
    // Moves the control of parameter index to the filter's value.
    void moveControl(int index);
    // Shows a load figure in percent.
    void showLoad(double percent);

    const std::vector<ParameterControl>& getControls() const { return controls; }
    QCheckBox* activeBox() const { return active; }
    QLabel* loadText() const { return load; }

public slots:
    void reject() override;

private:
    void build();
    // The user moved the control of parameter index to value.
    void apply(int index, int value);
    int controlsMin(int index) const;

    FilterInfo& owner;
    AudioFilter& filter;
    std::vector<ParameterControl> controls;
    QCheckBox* active;
    QLabel* load;
};

} // namespace sonabel
