#include "workstation/submissioncommand.h"

SubmissionCommand SubmissionCommand::parse(const QByteArray& text)
{
    SubmissionCommand command;
    const QByteArray word = text.left(4);
    if (word == "HELO")
        command.verb = Verb::Helo;
    else if (word == "PAGE")
        command.verb = Verb::Page;
    else if (word == "DATA")
        command.verb = Verb::Data;
    else if (word == "DONE")
        command.verb = Verb::Done;
    // A text of four characters or fewer has no argument at all.
    if (text.size() > 5)
        command.argument = text.mid(5);
    return command;
}
