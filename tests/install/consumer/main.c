/* A C program built against the installed library through pkg-config. */
#include <stdio.h>

#include <corvanta/corvanta_c.h>

int main(void) {
    static const char job[] = "execute_penselect 1\npd_default 4000 0\n";
    corvanta_result* r = corvanta_estimate(job, sizeof job - 1, NULL);
    if (!r || r->error) return 1;
    printf("%s %u\n", r->status[0], (unsigned)r->ms);
    const int ok = r->ok;
    corvanta_result_free(r);
    return ok ? 0 : 1;
}
