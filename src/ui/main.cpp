#include "ui/application.h"
#include "ui/main_form.h"

int main(int argc, char* argv[]) {
    vandrel::ui::TApplication app(argc, argv);
    vandrel::ui::TForm1 form;
    form.show();
    return app.exec();
}
