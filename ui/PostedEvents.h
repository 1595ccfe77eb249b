#pragma once
// The private events that other threads post to the interface. Each goes to
// a controller that outlives every thread that posts to it, never to a window
// that may be closing; the controller decides what the event changes.

#include <QEvent>
#include <QString>
#include <utility>

namespace sonabel {

// Sets the text of a control of the receiver's windows (underrun and
// overflow counts, ...). The text travels by value in the event.
constexpr QEvent::Type MSG_SET_TEXT = static_cast<QEvent::Type>(QEvent::User + 100);
// Refreshes one parameter's value text in a parameter window.
constexpr QEvent::Type MSG_PARAM_TEXT = static_cast<QEvent::Type>(QEvent::User + 102);
// Moves one parameter's control to the filter's current value.
constexpr QEvent::Type MSG_PARAM_VALUE = static_cast<QEvent::Type>(QEvent::User + 103);
// Refreshes the filters' load figures.
constexpr QEvent::Type MSG_SHOW_LOAD = static_cast<QEvent::Type>(QEvent::User + 104);

// MSG_SET_TEXT: the control's id and its new text.
class SetTextEvent : public QEvent {
public:
    SetTextEvent(int id, QString newText) : QEvent(MSG_SET_TEXT), controlId(id), text(std::move(newText)) {}
    const int controlId;
    const QString text;
};

// MSG_PARAM_TEXT and MSG_PARAM_VALUE: the parameter's index.
class ParameterEvent : public QEvent {
public:
    ParameterEvent(QEvent::Type type, int parameterIndex) : QEvent(type), index(parameterIndex) {}
    const int index;
};

} // namespace sonabel
