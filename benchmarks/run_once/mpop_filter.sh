#!/bin/sh
# mpop's header filter for the benchmark's job: the headers of one mail on standard input. Exit status 0 retrieves the
# mail, 2 leaves it on the server without retrieving it (1 would delete it).
grep -qi '^Subject:.*invoice' && exit 0
exit 2
