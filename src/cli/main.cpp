// quirelle-cli: imports reference files into a project and exports its papers, without a window.
#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return 0;
}
