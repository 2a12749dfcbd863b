#!/usr/bin/env python3
"""Instructions per second of the playground's slice function (pg_run at full
speed, no breakpoints) in headless Chromium, for one or more builds of the
page measured in turn in one browser, so that their figures compare.
Usage: rate.py [--seconds S] [--rounds N] SITE_DIR... ; prints one line per
site and program, the best of the rounds, and exits 1 if a program's
output differs from its expectation."""
import argparse, os, re, sys, tempfile, time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser_test import Browser, serve  # noqa: E402

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..')

# Runs pg_run in slices of `chunk` for `seconds`, starting again from the top
# whenever the program ends; returns instructions, milliseconds and the
# console text of the last complete run.
MEASURE = '''((seconds, chunk) => {
  api.reset();
  let done = 0, last = '';
  const started = performance.now();
  for (;;) {
    const state = api.run(chunk, 0);
    if (state !== 0) {
      done += machine().instructions;
      last = api.console();
      api.reset();
    }
    if (performance.now() - started >= seconds * 1000) break;
  }
  const ms = performance.now() - started;
  return {instructions: done + machine().instructions, ms, console: last};
})'''


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--seconds', type=float, default=2.0)
    parser.add_argument('--rounds', type=int, default=3)
    parser.add_argument('--chunk', type=int, default=1_000_000)
    parser.add_argument('sites', nargs='+')
    args = parser.parse_args()
    programs = {'jmr 0 (endless)': 'jmr 0\n',
                'bench/loops.asm': open(os.path.join(TOP, 'bench', 'loops.asm')).read()}
    work = tempfile.mkdtemp(prefix='web-rate-')
    log = open(os.path.join(work, 'chromium.log'), 'w')
    browser = Browser(os.path.join(work, 'profile'), log)
    servers = [serve(os.path.abspath(site), []) for site in args.sites]
    best = {}
    failed = False
    try:
        browser.send('Target.setDiscoverTargets', discover=False)
        for round_ in range(args.rounds):
            for site, server in zip(args.sites, servers):
                browser.open(f'http://127.0.0.1:{server.server_address[1]}/')
                deadline = time.time() + 30
                while browser.js('document.body && document.body.dataset.state') != 'ready':
                    if time.time() > deadline:
                        raise RuntimeError(f'{site}: the page does not load')
                    time.sleep(0.05)
                for name, source in programs.items():
                    browser.js(f"document.getElementById('source').value = {source!r}")
                    browser.js("document.getElementById('assemble').click()")
                    r = browser.js(f'{MEASURE}({args.seconds}, {args.chunk})')
                    rate = r['instructions'] / r['ms'] * 1000
                    expect = re.findall(r'^; expect: out (.*)$', source, flags=re.M)
                    if expect:
                        shown = ' '.join(re.findall(r'-\[(\d+) :', r['console']))
                        if shown != expect[0].strip():
                            print(f'{site} {name}: output {shown!r} != {expect[0]!r}')
                            failed = True
                    key = (site, name)
                    best[key] = max(best.get(key, 0), rate)
                browser.send('Page.close')
    finally:
        browser.process.kill()
        for server in servers:
            server.shutdown()
    for (site, name), rate in best.items():
        print(f'{site:40} {name:18} {rate / 1e6:7.1f} million/s')
    sys.exit(1 if failed else 0)


if __name__ == '__main__':
    main()
