// Registers the service worker (sw.js) that lets the page reload and run
// without the network; where service workers are not available (a page
// opened from a file) the page works as before, online only.
if ('serviceWorker' in navigator && window.isSecureContext) {
  navigator.serviceWorker.register('sw.js').catch(() => {});
}
