// Sonabel: the real-time test bench with its main window.

#include "core/Log.h"
#include "io/AudioApi.h"
#include "ui/Application.h"
#include "ui/DisplayCheck.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("Usage: sonabel\nThe real-time audio test bench. It writes log.txt in the working directory.\n");
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("sonabel 0.1\n");
            return 0;
        }
    }
    if (const std::string problem = sonabel::DisplayCheck::problem(); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    // An earlier run's log is emptied by the first line of this one.
    sonabel::resetLogFile();
    QApplication qtApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sonabel"));
    sonabel::setAudioClientName("Sonabel"); // the JACK client's and PulseAudio's application name
    sonabel::setPulseProperties(nullptr, "production");
    QApplication::setDesktopFileName(QStringLiteral("sonabel"));
    sonabel::Application application;
    QObject::connect(&application, &sonabel::Application::finished, &qtApplication, &QApplication::exit, Qt::QueuedConnection);
    if (!application.start()) return 0;
    sonabel::logDebug(-1, "Main window shown %lld ms after start.", static_cast<long long>(sinceStart.elapsed()));
    return qtApplication.exec();
}
