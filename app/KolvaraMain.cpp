#include "KolvaraMain.h"

#include "Application.h"
#include "Exception.h"
#include "Unit1.h"

int kolvaraMain(int argc, char* argv[])
{
    TApplication application(argc, argv);
    try {
        application.Initialize();
        application.CreateForm(Form1);
        application.Run();
    } catch (...) {
        // A window that could not be made (no database, say) ends the
        // program after its one message; so does anything else that escapes.
        application.showCurrentException();
    }
    Form1 = nullptr;
    return 0;
}
