// kolvara-screenshot: renders the main window, as it stands after start-up on
// the register beside the program, to a PNG file. Runs without a display
// (on Qt's offscreen platform unless told otherwise).
//
// Usage: kolvara-screenshot OUT.png

#include "Application.h"
#include "Unit1.h"

#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kolvara-screenshot OUT.png\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication application(argc, argv);
    int result = 1;
    try {
        application.Initialize();
        application.CreateForm(Form1);
        Form1->show();
        // Let the first activation load the list, then take the picture.
        QTimer::singleShot(300, [&] {
            if (Form1->grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
                std::printf("Wrote %s\n", argv[1]);
                result = 0;
            } else {
                std::fprintf(stderr, "kolvara-screenshot: cannot write %s\n", argv[1]);
            }
            application.quit();
        });
        application.exec();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kolvara-screenshot: %s\n", error.what());
    }
    return result;
}
