/* The per-message program for "formail -s": copies its standard input to
 * $SINK_DIR/$FILENO. formail starts one program per message, so this is as
 * small as a program can be: one exec instead of a shell plus cat.
 */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

int main(void)
{
    const char *dir = getenv("SINK_DIR");
    const char *number = getenv("FILENO");
    if (!dir || !number)
        return 2;
    char path[4096];
    snprintf(path, sizeof path, "%s/%s", dir, number);
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return 1;
    static char buf[1 << 16];
    ssize_t n;
    while ((n = read(0, buf, sizeof buf)) > 0)
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(fd, buf + done, (size_t)(n - done));
            if (w < 0)
                return 1;
            done += w;
        }
    return n < 0 || close(fd) != 0;
}
