// glimmerftp-cli: the command-line front end on the window's session core.

#include "cli/cli_options.h"
#include "cli/cli_runner.h"
#include "session/allocator_tuning.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    tuneAllocatorForTransfers();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("glimmerftp-cli"));
    const CliParse parsed = parseCliArguments(app.arguments().mid(1));
    if (!parsed.options) {
        std::fprintf(stderr, "glimmerftp-cli: %s\n\n%s", qPrintable(parsed.error), qPrintable(cliUsage()));
        return CliRunner::ExitUsage;
    }
    if (parsed.options->help) {
        std::fputs(qPrintable(cliUsage()), stdout);
        return CliRunner::ExitOk;
    }
    if (parsed.options->version) {
        std::fputs(qPrintable(cliVersionText()), stdout);
        return CliRunner::ExitOk;
    }
    CliRunner runner(*parsed.options);
    return runner.run();
}
