"""The page as an installed, offline site (run by browser_test.py): the
manifest is read, the service worker takes the page; with the network off
through the DevTools protocol a reload still shows the page and an example
runs to -HALT- with no request reaching the server; back online, a changed
site is what the next load shows."""
import json, os, sys, time

bt = sys.modules['__main__']   # browser_test.py, run as the program
from __main__ import check, click, native, put_source, wait, VIEWS  # noqa: E402


def reload(browser):
    browser.send('Page.reload', ignoreCache=False)
    time.sleep(0.5)
    return wait(browser, {'ready', 'error'}, 30)


def offline(browser, work, url, requests):
    # From a clean start: the groups before leave the student's program kept.
    bt.load(browser, url)
    browser.js('localStorage.clear()')
    check(bt.load(browser, url) == 'ready', 'the page loads')
    manifest = browser.js("fetch(document.querySelector('link[rel=manifest]').href).then((r) => r.json())")
    check(manifest['start_url'] == './' and manifest['icons'], f'the manifest: {manifest}')
    # Controlled once the worker is active (claimed), within 20 seconds.
    controlled = browser.js("new Promise((done) => { const until = Date.now() + 20000;"
                            " (function look() { if (navigator.serviceWorker.controller || Date.now() > until)"
                            "   done(!!navigator.serviceWorker.controller); else setTimeout(look, 100); })(); })")
    if not controlled:
        reload(browser)
        controlled = browser.js('!!navigator.serviceWorker.controller')
    check(controlled, 'the service worker controls the page')

    # The network off for the page and for its service worker, whose own
    # requests the page's setting does not cover.
    page_session = browser.session
    workers = [t['targetId'] for t in browser.send('Target.getTargets')['targetInfos'] if t['type'] == 'service_worker']
    check(len(workers) == 1, f'one service worker: {workers}')
    sessions = [page_session] + [browser.send('Target.attachToTarget', targetId=w, flatten=True)['sessionId']
                                 for w in workers]

    def network(off):
        for session in sessions:
            browser.session = session
            browser.send('Network.enable')
            browser.send('Network.emulateNetworkConditions', offline=off, latency=0, downloadThroughput=-1,
                         uploadThroughput=-1)
        browser.session = page_session

    network(True)
    asked = len(requests)
    check(reload(browser) == 'ready', 'offline, a reload shows the page')
    source = open(os.path.join(bt.EXAMPLES, 'hello.asm')).read()
    _, shown, _ = native(source, work)
    put_source(browser, source)
    click(browser, 'run')
    views = browser.js(VIEWS) if wait(browser, {'halted'}) == 'halted' else {'console': ''}
    check('-HALT-' in views['console'] and views['console'] == shown, f'offline, hello.asm runs: {views["console"]}')
    check(len(requests) == asked, f'offline, nothing reached the server: {requests[asked:]}')

    # A new version of the site: taken on the first load with the network.
    page = os.path.join(bt.SITE, 'index.html')
    text = open(page).read()
    try:
        with open(page, 'w') as f:
            f.write(text.replace('<head>', '<head>\n<meta name="site-version" content="next">', 1))
        network(False)
        reload(browser)
        check(browser.js("document.querySelector('meta[name=site-version]')?.content") == 'next',
              'back online, the next load takes the new version of the site')
    finally:
        with open(page, 'w') as f:
            f.write(text)
